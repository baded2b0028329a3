#pragma once
// Fake services for the framework's tests: a server root with a message-only
// console window that records the commands it gets, service types that make
// definitions whose start and stop succeed, fail or block as told, instances
// whose worker counts what it processes, and requests that count their end.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "QvWindows.h"
#include "AppCfg.h"
#include "AppDebug.h"
#include "AppLog.h"
#include "AppManager.h"
#include "AppStatus.h"
#include "DataManager.h"
#include "ScratchDir.h"
#include "SvrSystem.h"

namespace fw {

extern std::atomic<int> requestsLive;
extern std::atomic<int> requestsGone;
extern std::atomic<int> processed;

struct FakeRequest : DATAREQUEST {
    explicit FakeRequest(const char* command = "GET x") : DATAREQUEST(command, TRUE) { ++requestsLive; }
    ~FakeRequest() override {
        --requestsLive;
        ++requestsGone;
    }
    QV_ITEM_IDENTITY(FakeRequest, "DATAREQUEST", "DRQa")
    char* GetReqStatus() override { return nullptr; }
    int SetReqStatus(const char*) override { return 0; }
};

struct FakeResult : DATARESULT {
    const char* statusText = "200";
    explicit FakeResult(DATAREQUEST* r) : DATARESULT(r, nullptr, 0) {}
    QV_ITEM_IDENTITY(FakeResult, "DATARESULT", "DRSa")
    char* GetStatus() override { return (char*)statusText; }
    char* GetStatusLine(BUFFER& out) override { return out.data; }
    int SetStatus(const char*) override { return 0; }
};

FakeRequest* NewRequest(const char* command = "GET x");

// The worker every fake instance runs: the framework's worker contract.
void FakeWorker(APPINSTANCE* instance);

struct FakeInstance : APPINSTANCE {
    explicit FakeInstance(APPDEFINITION* d) : APPINSTANCE(d) {}
    QV_ITEM_IDENTITY(FakeInstance, "APPINSTANCE", "APPI")
    BBOOL StartCommunications(APPWORKERPROC w) override { return APPINSTANCE::StartCommunications(w ? w : FakeWorker); }
};

enum class Behaviour { Succeed, Fail };

struct FakeDefinition : APPDEFINITION {
    explicit FakeDefinition(APPTYPE* t);
    QV_ITEM_IDENTITY(FakeDefinition, "APPDEFINITION", "APPD")
    BBOOL StartCommunications() override;
    BBOOL StopCommunications() override;
    void ForceShutdown() override;

    Behaviour start = Behaviour::Succeed;
    Behaviour stop = Behaviour::Succeed;
    int instanceCount = 1;
    std::atomic<int> forced{0};
};
// ForceShutdown calls of every fake definition, for a process that outlives its root.
extern std::atomic<int> g_forcedShutdowns;

struct FakeType : APPTYPE {
    explicit FakeType(const char* name);
    ~FakeType() override;
    QV_ITEM_IDENTITY(FakeType, "APPTYPE", "APTP")
    APPDEFINITION* CreateAppDefinition() override;

    Behaviour start = Behaviour::Succeed;
    Behaviour stop = Behaviour::Succeed;
};

// The six type globals, in table order.
APPTYPE** TypeGlobal(int index);
extern const char* const kServiceNames[6];

// A server root as _pSvr with a recording console window; the current
// directory is the test's own (the shared system log is SYSTEM.DAT there).
class ServerTest : public qvtest::ScratchDirTest {
protected:
    ServerTest() : ScratchDirTest("srv") {}
    void SetUp() override;
    void TearDown() override;

    // Makes _pSvr; ready and not closing.
    void MakeServer(BBOOL corvath, BBOOL tessimara = FALSE);
    // Fake types in every global; enabled names switched on in the configuration.
    void MakeTypes(const std::vector<std::string>& enabled);
    // Writes the main profile and reads it into the server's.
    void UseProfile(const std::string& text);
    // Types, definitions and communications as the control thread makes them.
    BBOOL StartServices();
    // Commands the console window got so far (the queue pumped first).
    std::vector<int> Commands();
    FakeDefinition* Definition(const char* name);

    SVRSYSTEM* server = nullptr;
    FakeType* types[6] = {};
    HWND console = nullptr;
    char error[256] = {};
};

// Waits (bounded) until done() holds; pumps this thread's messages meanwhile.
bool WaitFor(const std::function<bool()>& done, int milliseconds = 20000);

}  // namespace fw
