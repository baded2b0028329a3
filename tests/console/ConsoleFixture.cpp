#include "ConsoleFixture.h"

#include <cstdio>
#include <mutex>

#include "ConsoleDialogs.h"
#include "DlgKit.h"
#include "FormApp.h"
#include "LocalRequest.h"
#include "SpControl.h"
#include "StatusLine.h"
#include "SvrSystem.h"
#include "TextHelpers.h"

namespace console {

namespace {
struct AnswerState {
    std::mutex lock;
    std::vector<Box> seen;
    bool yes = false;
    bool stop = false;
};
AnswerState& State() {
    static AnswerState* s = new AnswerState;
    return *s;
}

std::string Text(HWND h) {
    char buf[1024] = {};
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

BOOL CALLBACK StaticText(HWND child, LPARAM out) {
    char cls[32] = {};
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") || Text(child).empty()) return TRUE;
    *reinterpret_cast<std::string*>(out) = Text(child);
    return FALSE;
}

BOOL CALLBACK Answer(HWND h, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    char cls[32] = {};
    GetClassNameA(h, cls, sizeof cls);
    if (pid != GetCurrentProcessId() || lstrcmpA(cls, "#32770") || !IsWindowVisible(h)) return TRUE;
    if (!GetPropA(h, "qvcon.mine") || GetPropA(h, "qvcon.done")) return TRUE;
    SetPropA(h, "qvcon.done", (HANDLE)1);
    Box box;
    for (int pass = 0; pass < 200 && box.text.empty(); ++pass) {
        EnumChildWindows(h, StaticText, reinterpret_cast<LPARAM>(&box.text));
        if (box.text.empty()) Sleep(10);
    }
    box.caption = Text(h);
    bool yes;
    {
        std::lock_guard<std::mutex> g(State().lock);
        State().seen.push_back(box);
        yes = State().yes;
    }
    int button = GetDlgItem(h, IDOK) ? IDOK : yes ? IDYES : IDNO;
    PostMessageA(h, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), (LPARAM)GetDlgItem(h, button));
    return TRUE;
}

// Boxes made on the test's thread are claimed as they are created, before the
// program-wide watcher can see them: they are this answerer's alone.
LRESULT CALLBACK ClaimBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        HWND h = (HWND)wParam;
        char cls[32] = {};
        GetClassNameA(h, cls, sizeof cls);
        if (!lstrcmpA(cls, "#32770")) {
            SetPropA(h, "qvtest.seen", (HANDLE)1000);
            SetPropA(h, "qvcon.mine", (HANDLE)1);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

DWORD WINAPI AnswerLoop(LPVOID) {
    for (;;) {
        {
            std::lock_guard<std::mutex> g(State().lock);
            if (State().stop) return 0;
        }
        EnumWindows(Answer, 0);
        Sleep(5);
    }
}
}  // namespace

BoxAnswerer::BoxAnswerer() {
    {
        std::lock_guard<std::mutex> g(State().lock);
        State().seen.clear();
        State().yes = false;
        State().stop = false;
    }
    hook_ = SetWindowsHookExA(WH_CBT, ClaimBoxes, nullptr, GetCurrentThreadId());
    thread_ = CreateThread(nullptr, 0, AnswerLoop, nullptr, 0, nullptr);
}

BoxAnswerer::~BoxAnswerer() {
    {
        std::lock_guard<std::mutex> g(State().lock);
        State().stop = true;
    }
    WaitForSingleObject(thread_, 5000);
    CloseHandle(thread_);
    if (hook_) UnhookWindowsHookEx((HHOOK)hook_);
}

void BoxAnswerer::answerYes(bool yes) {
    std::lock_guard<std::mutex> g(State().lock);
    State().yes = yes;
}

std::vector<Box> BoxAnswerer::boxes() {
    std::lock_guard<std::mutex> g(State().lock);
    return State().seen;
}

void ConsoleTest::SetUp() {
    ScratchDirTest::SetUp();
    dlgkit::App();
    // The splash would hold every start for its 30 s; its own tests run it directly.
    _ConsoleDialogs.splash = nullptr;
    LOCALREQUEST::RequestsRead = FALSE;
    LOCALREQUEST::RequestsSaved = FALSE;
}

void ConsoleTest::MakeServer(const std::vector<std::string>& enabled) {
    server = new SVRSYSTEM(FALSE, FALSE);
    server->prepare();
    _pSvr = server;
    _strzcpy(server->configDirectory, dir.c_str(), sizeof server->configDirectory);
    server->systemLog.Open(TRUE);
    Put("QUORHUB.INI", "[Applications]\r\n");
    ASSERT_TRUE(server->config.OpenProfile(server->mainProfile, "QUORHUB.INI"));
    BBOOL SVRCFG::*flags[6] = {&SVRCFG::appHTTP, &SVRCFG::appTELNET, &SVRCFG::appFTP,
                               &SVRCFG::appNNTP, &SVRCFG::appPOP,    &SVRCFG::appSMTP};
    for (int i = 0; i < 6; ++i) {
        types[i] = new fw::FakeType(fw::kServiceNames[i]);
        types[i]->prepare();
        *fw::TypeGlobal(i) = types[i];
        for (const std::string& name : enabled)
            if (name == fw::kServiceNames[i]) server->config.*flags[i] = TRUE;
    }
}

FORMAPP* ConsoleTest::MakeForm(int show) {
    _SysPixWidth = 1024;
    _SysPixHeight = 768;
    FORMAPP::tickCount = 0;
    FORMAPP::animationIndex = 0;
    FORMAPP::idleIcons = TRUE;
    // A title of this process alone: console tests running beside each other
    // must not take one another for a running instance.
    char title[64];
    std::snprintf(title, sizeof title, "Console Test %lu", GetCurrentProcessId());
    form = new FORMAPP(title, show);
    return form;
}

void ConsoleTest::TearDown() {
    Dispose();
    ScratchDirTest::TearDown();
}

void ConsoleTest::Dispose() {
    delete form;
    form = nullptr;
    if (server) {
        PGMTHREAD* control = server->controlThread;
        if (control && control != reinterpret_cast<PGMTHREAD*>(-1)) {
            server->terminateEvent.PostEvent();
            PGMTHREAD::WaitByID(control->threadId);
        }
        server->manager.StopAppCommunications();
        server->manager.DeleteAppDefinitions();
        server->systemLog.Close();
        _pSvr = nullptr;
        server->freeobj();
        server = nullptr;
    }
    for (int i = 0; i < 6; ++i) {
        *fw::TypeGlobal(i) = nullptr;
        if (types[i]) types[i]->freeobj();
        types[i] = nullptr;
    }
    RunUntil([] { return false; }, 50);
    quit = false;
}

bool ConsoleTest::RunUntil(const std::function<bool()>& done, int milliseconds) {
    DWORD end = GetTickCount() + (DWORD)milliseconds;
    for (;;) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) {
                quit = true;
                continue;
            }
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        if (done()) return true;
        if ((long)(GetTickCount() - end) > 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool ConsoleTest::StartToReady() {
    Post(0xC1C);
    return RunUntil([this] { return server->ready != 0; });
}

void ConsoleTest::Post(int command, LPARAM parameter) {
    PostMessageA(form->windowHandle(), WM_COMMAND, (WPARAM)command, parameter);
}

std::string ConsoleTest::Log() { return qvtest::FileText("SYSTEM.DAT"); }

std::string ConsoleTest::StatusText() {
    return form && form->statusLine ? form->statusLine->Message() : "<none>";
}

}  // namespace console
