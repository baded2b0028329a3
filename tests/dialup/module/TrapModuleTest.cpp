// The session module's attach and detach, loaded in this process the way
// the session host loads it (its driver calls answered and journaled).
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <string>

#include "../DialupKit.h"
#include "SessionHost.h"
#include "StandInFormat.h"

using qvtest::DialUpStandIns;
using qvtest::RemoteAccess;

namespace {

typedef BOOL(WINAPI* EntryFn)(HINSTANCE, DWORD, void*);

template <class F>
F Bound(HMODULE m, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(m, name)));
}

TEST(TrapModule, AttachOpensTheDriverAndDetachUnloadsIt) {
    for (bool driver : {true, false}) {
        SCOPED_TRACE(driver ? "driver" : "no driver");
        DialUpStandIns s(RemoteAccess::Win95);
        s.WriteScenario(driver ? "" : "[Driver]\r\nOpen=0\r\n");
        HMODULE m = standin::LoadHostedModule(qvdial::Trap32().c_str());
        ASSERT_NE(nullptr, m) << GetLastError();
        auto opens = s.Calls("vxd", "CreateFileA");
        ASSERT_EQ(1u, opens.size());
        EXPECT_EQ(standin::kDriverName, opens[0].Field("name"));

        ras::SessionTable table = {};
        table.size = ras::kSessionTableSize;
        char protocol[] = "PPP";
        EXPECT_EQ(0u, Bound<ras::RnaSessInitializeFn>(m, "RnaSessInitialize")(protocol, &table));
        EXPECT_NE(nullptr, table.start);
        EXPECT_NE(nullptr, table.stop);
        EXPECT_EQ(0u, table.stop(ras::HandleFromField(0x1234))) << "a stop for no session of ours";

        Bound<EntryFn>(m, "DllEntryPoint")(reinterpret_cast<HINSTANCE>(m), DLL_PROCESS_DETACH, nullptr);
        std::string closed;
        for (const qvtest::JournalEntry& e : s.Calls("vxd", "CloseHandle"))
            if (e.Field("fake") == "1") closed = e.Field("handle");
        auto deleted = s.Calls("vxd", "DeleteFileA");
        if (driver) {
            EXPECT_EQ(std::to_string(standin::kFakeDriverHandle), closed);
            ASSERT_EQ(1u, deleted.size()) << "a dynamically loaded driver is unloaded by name";
            EXPECT_EQ(standin::kDriverName, deleted[0].Field("name"));
        } else {
            EXPECT_EQ("", closed);
            EXPECT_TRUE(deleted.empty());
        }
        FreeLibrary(m);
    }
}

}  // namespace
