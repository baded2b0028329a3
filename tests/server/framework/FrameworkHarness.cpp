#include "FrameworkHarness.h"

#include <functional>

#include "MessageWindow.h"
#include "TextHelpers.h"
#include "WaitFor.h"

namespace fw {

std::atomic<int> requestsLive{0};
std::atomic<int> requestsGone{0};
std::atomic<int> processed{0};

const char* const kServiceNames[6] = {"HTTP", "TELNET", "FTP", "NNTP", "POP", "SMTP"};

namespace {
std::vector<int> g_commands;

LRESULT CALLBACK ConsoleProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_COMMAND) {
        g_commands.push_back((int)LOWORD(wp));
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

HWND MakeConsole() { return qvtest::MakeMessageWindow("QvTestConsole", ConsoleProc); }

void Pump() { qvtest::PumpMessages(); }
}  // namespace

FakeRequest* NewRequest(const char* command) {
    FakeRequest* r = new FakeRequest(command);
    r->prepare();
    return r;
}

void FakeWorker(APPINSTANCE* instance) {
    while (instance->WaitForWork()) {
        while (APPREQUEST* r = instance->TakeRequest()) {
            ++processed;
            r->FreeAppRequest(TRUE);
        }
        if (instance->shared) return;
    }
}

FakeDefinition::FakeDefinition(APPTYPE* t) : APPDEFINITION(t) {
    _strzcpy(name, t->name, sizeof name);
}

BBOOL FakeDefinition::StartCommunications() {
    if (start == Behaviour::Fail) return FALSE;
    for (int i = 0; i < instanceCount; ++i) {
        FakeInstance* inst = new FakeInstance(this);
        MSEMHOLD hold(instances.lock);
        instances.Add(*inst);
    }
    return StartInstanceCommunications();
}

BBOOL FakeDefinition::StopCommunications() {
    StopInstanceCommunications();
    return stop == Behaviour::Succeed;
}

std::atomic<int> g_forcedShutdowns{0};

void FakeDefinition::ForceShutdown() {
    ++forced;
    ++g_forcedShutdowns;
    APPDEFINITION::ForceShutdown();
}

FakeType::FakeType(const char* n) : APPTYPE(n) {
    config = new APPCFG();
    log = new APPLOG(n);
}

FakeType::~FakeType() {
    if (config) config->freeobj();
    delete log;
    if (debug) debug->freeobj();
}

APPDEFINITION* FakeType::CreateAppDefinition() {
    FakeDefinition* d = new FakeDefinition(this);
    d->start = start;
    d->stop = stop;
    return d;
}

APPTYPE** TypeGlobal(int index) {
    APPTYPE** all[6] = {&_pHTTPAppType, &_pTELNETAppType, &_pFTPAppType, &_pNNTPAppType, &_pPOPAppType, &_pSMTPAppType};
    return all[index];
}

void ServerTest::SetUp() {
    ScratchDirTest::SetUp();
    g_commands.clear();
    error[0] = 0;
    console = MakeConsole();
    ASSERT_NE(console, nullptr);
}

void ServerTest::TearDown() {
    if (server) {
        server->manager.StopAppCommunications();
        server->manager.DeleteAppDefinitions();
        server->systemLog.Close();
        _pSvr = nullptr;
        server->freeobj();
        server = nullptr;
    }
    for (int i = 0; i < 6; ++i) {
        *TypeGlobal(i) = nullptr;
        if (types[i]) {
            types[i]->freeobj();
            types[i] = nullptr;
        }
    }
    Pump();
    if (console) DestroyWindow(console);
    ScratchDirTest::TearDown();
}

void ServerTest::MakeServer(BBOOL corvath, BBOOL tessimara) {
    server = new SVRSYSTEM(corvath, tessimara);
    server->prepare();
    _pSvr = server;
    server->consoleWindow = console;
    server->ready = TRUE;
    server->systemLog.Open(TRUE);
}

void ServerTest::MakeTypes(const std::vector<std::string>& enabled) {
    for (int i = 0; i < 6; ++i) {
        types[i] = new FakeType(kServiceNames[i]);
        types[i]->prepare();
        *TypeGlobal(i) = types[i];
    }
    BBOOL SVRCFG::*flags[6] = {&SVRCFG::appHTTP, &SVRCFG::appTELNET, &SVRCFG::appFTP,
                               &SVRCFG::appNNTP, &SVRCFG::appPOP,    &SVRCFG::appSMTP};
    for (const std::string& name : enabled)
        for (int i = 0; i < 6; ++i)
            if (name == kServiceNames[i]) server->config.*flags[i] = TRUE;
}

void ServerTest::UseProfile(const std::string& text) {
    Put("QUORHUB.INI", text);
    ASSERT_TRUE(server->config.OpenProfile(server->mainProfile, "QUORHUB.INI"));
}

BBOOL ServerTest::StartServices() {
    if (!server->mainProfile.loaded) UseProfile("[Applications]\r\n");
    BUFFER e(error, sizeof error);
    if (!server->manager.CreateAppTypes(&server->config, server->mainProfile,
                                        server->corvath ? nullptr : &server->systemLog, e))
        return FALSE;
    if (server->manager.CreateAppDefinitions(&server->config) == 0) return FALSE;
    return server->manager.StartAppCommunications();
}

std::vector<int> ServerTest::Commands() {
    Pump();
    return g_commands;
}

FakeDefinition* ServerTest::Definition(const char* name) {
    return dynamic_cast<FakeDefinition*>(server->manager.FindApp(name));
}

bool WaitFor(const std::function<bool()>& done, int milliseconds) {
    return qvtest::WaitFor(
        [&] {
            if (done()) return true;
            Pump();
            return false;
        },
        (DWORD)milliseconds, 1);
}

}  // namespace fw
