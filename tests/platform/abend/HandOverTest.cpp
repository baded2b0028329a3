#include <gtest/gtest.h>

#include "QvWindows.h"

#include <cstdio>
#include <string>

#include "ChildProcess.h"
#include "MemoryPool.h"
#include "PgmThread.h"
#include "SpControl.h"
#include "TaskAbend.h"

namespace {

HANDLE g_handed;
const char* g_code;
ULONG_PTR g_value;

// Stands in for the server: remembers the abend and parks the worker for good.
void HandToMain(const char* code, ULONG_PTR value) {
    g_code = code;
    g_value = value;
    SetEvent(g_handed);
    for (;;) Sleep(INFINITE);
}

void Report(BBOOL handedOver) {
    std::printf("handedOver=%d\n", handedOver);
    std::fflush(stdout);
}

// Fails while holding the pool's lock, as a release check does.
void FailInsidePool(void*) {
    _pSystemMemoryPool->lock.Reserve(QV_WAIT_FOREVER, FALSE);
    _Task_Abend(ABEND_MEM102, 0x1234);
}

}  // namespace

QV_CHILD_CASE(WorkerHandsAbendToMain) {
    g_handed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    TASKABENDHOOKS hooks = {};
    hooks.handToMain = HandToMain;
    hooks.terminate = Report;
    SetTaskAbendHooks(&hooks);
    new PGMTHREAD(FailInsidePool, nullptr, nullptr, FALSE);
    WaitForSingleObject(g_handed, INFINITE);
    // The console's handler raises it again on the main thread; the parked
    // worker still holds the pool's lock.
    _Task_Abend(g_code, g_value);
}

QV_CHILD_CASE(WorkerWithoutServer) {
    new PGMTHREAD(FailInsidePool, nullptr, nullptr, FALSE);
    Sleep(INFINITE);
}

TEST(FatalExit, HandedOverAbendEndsWithCodeOne) {
    const struct { const char* child; const char* handed; } cases[] = {
        {"WorkerHandsAbendToMain", "handedOver=1"},
        {"WorkerWithoutServer", nullptr},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.child);
        auto r = qvtest::RunChild(c.child, "", 30000);
        EXPECT_EQ(1u, r.exitCode) << r.output;
        EXPECT_NE(std::string::npos, r.output.find(std::string("'") + ABEND_MEM102 + "-1234'")) << r.output;
        if (c.handed) {
            EXPECT_NE(std::string::npos, r.output.find(c.handed)) << r.output;
        }
    }
}
