// The quorhub program: zApp::main starts the server, runs the message loop and
// ends it. Until the console window is built, a hidden command window of the
// console's class stands in for it: it drives the start and stop chain of
// commands with the control thread and stops the gateway on WM_CLOSE.
#include <cstdio>
#include <string>

#include "QvWindows.h"
#include "ConsoleWindow.h"
#include "ServerIds.h"
#include "ServerStart.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TaskAbend.h"
#include "zApp.h"

namespace {

const UINT_PTR REQUEST_WAIT_TIMER = 1;
const UINT_PTR POP_TIMERS_TIMER = 2;

void LogLine(const std::string& text) {
    if (_pSvr) _pSvr->systemLog.Write(text.c_str());
}

std::string Formatted(int id, const char* argument) {
    char text[512];
    std::snprintf(text, sizeof text, ServerText(id), argument);
    return text;
}

void StartControlThread() {
    SVRSYSTEM& svr = *_pSvr;
    svr.controlThread = reinterpret_cast<PGMTHREAD*>(-1);
    PGMTHREAD* thread = new PGMTHREAD(nullptr, nullptr, &svr.controlThread, TRUE);
    if (!thread->StartUp(MainSystemCntlProc, nullptr)) _Task_Abend(ABEND_INI102, 0);
}

void WaitForControlThread() {
    PGMTHREAD* thread = _pSvr->controlThread;
    if (thread && thread != reinterpret_cast<PGMTHREAD*>(-1)) PGMTHREAD::WaitByID(thread->threadId);
}

void ServicesChanged(HWND window, int command) {
    SVRSYSTEM& svr = *_pSvr;
    if (svr.manager.running > 0 && svr.manager.pending == 0) svr.servicesStarted = TRUE;
    if (command != CMD_APP_STOPPED || svr.manager.running > 0 || svr.manager.pending > 0 || svr.closing) return;
    if (svr.config.autoTerminate) {
        svr.shutdownReason = IDS_NO_ACTIVE_APPS;
        PostCmdMessage(window, CMD_SHUTDOWN_REQUEST, IDS_NO_ACTIVE_APPS);
    } else if (!svr.servicesStarted) {
        LogLine(ServerText(IDS_NO_ACTIVE_APPS));
    }
}

void StartError(HWND window, int id) {
    SVRSYSTEM& svr = *_pSvr;
    std::string message = ServerText(IDS_UNABLE_TO_START);
    if (id) message += ServerText(id);
    message += svr.startError;
    svr.startError[0] = 0;
    LogLine(message);
    svr.shutdownReason = id ? id : IDS_UNABLE_TO_START;
    PostCmdMessage(window, CMD_SHUTDOWN_REQUEST, 0);
}

void Shutdown(HWND window) {
    SVRSYSTEM& svr = *_pSvr;
    svr.closing = TRUE;
    LogLine(ServerText(IDS_SHUTTING_DOWN));
    svr.lines.Shutdown(!svr.quickShutdown);
    if (!svr.HasActiveReqs(FALSE, TRUE)) {
        PostCmdMessage(window, CMD_RELEASE_CONTROL, 0);
        return;
    }
    svr.CancelActiveReqs();
    svr.waitingForRequests = TRUE;
    SetTimer(window, REQUEST_WAIT_TIMER, 100, nullptr);
}

void Command(HWND window, int id, LPARAM parameter) {
    SVRSYSTEM* svr = _pSvr;
    if (!svr) return;
    switch (id) {
    case CMD_START:
        PostCmdMessage(window, CMD_START_CONTROL, 0);
        break;
    case CMD_START_CONTROL:
        StartControlThread();
        break;
    case CMD_APP_STARTED:
    case CMD_APP_STOPPED:
        ServicesChanged(window, id);
        break;
    case CMD_READY:
        if (!svr->closing) svr->ready = TRUE;
        LogLine(Formatted(IDS_READY, ServerText(IDS_TITLE)));
        break;
    case CMD_START_ERROR:
        StartError(window, (int)parameter);
        break;
    case CMD_SHUTDOWN_REQUEST:
        if (parameter) LogLine(ServerText((int)parameter));
        if (!svr->closing) {
            svr->closing = TRUE;
            PostCmdMessage(window, CMD_SHUTDOWN, 0);
        }
        break;
    case CMD_SHUTDOWN:
        Shutdown(window);
        break;
    case CMD_RELEASE_CONTROL:
        // Without a control thread there is nobody to stop the services and answer.
        if (svr->controlThread)
            svr->terminateEvent.PostEvent();
        else
            PostCmdMessage(window, CMD_STOPPED, 0);
        break;
    case CMD_STOPPED:
        WaitForControlThread();
        svr->ready = FALSE;
        _app->quit();
        break;
    case CMD_ABEND:
        svr->closing = TRUE;
        svr->fastTermination = TRUE;
        _Task_Abend(svr->abendCode ? svr->abendCode : "", svr->abendValue);
    default:
        break;
    }
}

LRESULT CALLBACK CommandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        Command(window, LOWORD(wParam), lParam);
        return 0;
    case WM_CLOSE:
        PostCmdMessage(window, CMD_SHUTDOWN_REQUEST, 0);
        return 0;
    case WM_TIMER:
        if (wParam == POP_TIMERS_TIMER && _pSupport) _pSupport->timers.PopTimers();
        if (wParam == REQUEST_WAIT_TIMER && _pSvr && !_pSvr->HasActiveReqs(FALSE, TRUE)) {
            KillTimer(window, REQUEST_WAIT_TIMER);
            _pSvr->waitingForRequests = FALSE;
            PostCmdMessage(window, CMD_RELEASE_CONTROL, 0);
        }
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

HWND CreateCommandWindow(HINSTANCE instance) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = CommandWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = CONSOLE_WINDOW_CLASS;
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, CONSOLE_WINDOW_CLASS, ServerText(IDS_TITLE), WS_OVERLAPPEDWINDOW, 0, 0, 345,
                                  143, nullptr, nullptr, instance, nullptr);
    if (window) SetTimer(window, POP_TIMERS_TIMER, 500, nullptr);
    return window;
}

// Trace and buffer settings that take effect with the console.
void ApplyTraceSettings() {
    SVRCFG& config = _pSvr->config;
    if (!_pSupport) return;
    if (config.traceData) _pSupport->trace.SetItemLimit(config.traceData);
    if (config.buddyTracing) {
        if (_pSupport->trace.active)
            _pSupport->trace.categories |= 0x20;
        else
            _pSupport->trace.StartTrace(0x20, config.traceBuffer);
    }
    _pSupport->bufferPool.maxFree = config.commBuffers ? config.commBuffers : 16;
}

}  // namespace

void zApp::main() {
    if (ServerStartUp(instance(), cmdLine) != SERVER_STARTED) return;
    // A second instance hands over to the running one and ends.
    if (HWND running = FindConsoleWindow()) {
        PostCmdMessage(running, CMD_TO_FRONT, 0);
        ServerShutDown();
        ServerRelease();
        return;
    }
    HWND window = CreateCommandWindow(instance());
    if (!window) {
        _pSvr->systemLog.Write("Unable to create the console window");
        ServerShutDown();
        ServerRelease();
        exitCode = 1;
        return;
    }
    _pSvr->consoleWindow = window;
    if (_pSupport) _pSupport->module.window = window;
    ApplyTraceSettings();
    PostCmdMessage(window, CMD_START, 0);

    if (_pSupport) _pSupport->lockObjectCleanup = 1;
    go();
    if (_pSupport) _pSupport->lockObjectCleanup = 0;

    ServerShutDown();
    DestroyWindow(window);
    if (_pSupport) _pSupport->module.window = nullptr;
    ServerRelease();
}
