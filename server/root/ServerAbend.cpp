#include "ServerAbend.h"

#include "ServerIds.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TaskAbend.h"
#include "TraceDump.h"

SERVERCONSOLESTEPS _ServerConsoleSteps = {nullptr, nullptr};

namespace {
// Whether the server was already closing when the fatal exit began; a worker's
// abend handed to the main thread finds it set by the worker's own entry.
volatile BBOOL g_wasClosing = FALSE;

void enter(BBOOL firstEntry) {
    SVRSYSTEM* s = _pSvr;
    if (!s) return;
    if (firstEntry) g_wasClosing = s->closing;
    s->closing = TRUE;
    s->fastTermination = TRUE;
}

void handToMain(const char* code, ULONG_PTR value) {
    SVRSYSTEM* s = _pSvr;
    if (!s || !s->consoleWindow) return;
    s->abendCode = code;
    s->abendValue = value;
    // Whoever waits for this thread ends it and posts the event.
    if (PGMTHREAD* self = PGMTHREAD::GetCurrent()) {
        self->stopEvent = &s->abendEvent;
        self->stopOnWait = TRUE;
    }
    if (!PostCmdMessage(s->consoleWindow, CMD_ABEND, 0)) return;
    for (;;) {
        s->abendEvent.WaitEvent(QV_WAIT_FOREVER);
        s->abendEvent.ResetEvent();
    }
}

void signal() {
    if (_pSvr) _pSvr->abendEvent.PostEvent();
}

HWND ownerWindow() { return _pSvr ? _pSvr->consoleWindow : nullptr; }

void terminate(BBOOL handedOver) {
    SVRSYSTEM* s = _pSvr;
    if (!s) return;
    if (!g_wasClosing) s->MainSystemTerm(TRUE);
    s->config.RestoreUserRegistry();
    if (!s->shutdownReason) s->shutdownReason = IDS_ABEND;
    // A parked worker may hold any lock: leave every object where it is.
    if (handedOver) return;
    s->config.CloseProfile();
    s->config.CloseUsers();
    if (!s->consoleWindow) return;
    if (_ServerConsoleSteps.destroyWindow) _ServerConsoleSteps.destroyWindow();
    _pSvr = nullptr;
    s->freeobj();
    if (_ServerConsoleSteps.releaseTray) _ServerConsoleSteps.releaseTray();
}
}  // namespace

void InstallServerAbendHooks(SVRSYSTEM* server) {
    if (server) SetSystemLog(&server->systemLog);
    TASKABENDHOOKS hooks;
    GetTaskAbendHooks(&hooks);
    FillAbendHooks(hooks);
    hooks.enter = enter;
    hooks.handToMain = handToMain;
    hooks.signal = signal;
    hooks.ownerWindow = ownerWindow;
    hooks.terminate = terminate;
    SetTaskAbendHooks(&hooks);
}
