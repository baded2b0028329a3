#include "ConsoleProgram.h"

#include "ConsoleIds.h"
#include "ConsoleWindow.h"
#include "FormApp.h"
#include "ServerAbend.h"
#include "SpControl.h"
#include "StatusInfo.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TrayIcon.h"
#include "zApp.h"
#include "zBitmap.h"
#include "zGeometry.h"
#include "zResId.h"
#include "zSystemInfo.h"

namespace {
const int SPLASH_BITMAP = 1003;
const int MAIN_WIDTH = 345;
const int MAIN_HEIGHT = 143;

// Trace switches the start sends for the [Server Startup] keys that are on.
struct STARTTRACE {
    BBOOL SVRCFG::*setting;
    int command;
};
const STARTTRACE START_TRACES[] = {
    {&SVRCFG::commTracing, MENU_TRACE_COMM},   {&SVRCFG::appRequestTracing, MENU_TRACE_APP},
    {&SVRCFG::cacheTracing, MENU_TRACE_CACHE}, {&SVRCFG::memoryTracing, MENU_TRACE_MEMORY},
    {&SVRCFG::taskTracing, MENU_TRACE_TASK},   {&SVRCFG::functionTracing, MENU_TRACE_FUNCTION},
};

void sizeMainWindow(BOOL corvath) {
    zSystemInfo screen;
    _SysPixWidth = screen.width;
    _SysPixHeight = screen.height;
    _MainFormWidth = MAIN_WIDTH;
    _MainFormHeight = MAIN_HEIGHT;
    if (corvath) {
        _bmpSplash = new zBitmap(zResId(SPLASH_BITMAP));
        if (_bmpSplash->hbitmap()) {
            zDimension d = _bmpSplash->size();
            _MainFormWidth = d.width;
            _MainFormHeight = d.height;
        }
    }
    _MainFormPosX = (_SysPixWidth - _MainFormWidth) / 2;
    _MainFormPosY = (_SysPixHeight - _MainFormHeight) / 2;
}

// Trace and buffer settings that take effect with the console.
void applyTraceSettings(SVRCFG& config) {
    if (!_pSupport) return;
    if (config.traceData) _pSupport->trace.SetItemLimit(config.traceData);
    if (config.buddyTracing) {
        if (_pSupport->trace.active)
            _pSupport->trace.categories |= TRACE_BUDSYS;
        else
            _pSupport->trace.StartTrace(TRACE_BUDSYS, config.traceBuffer);
    }
    _pSupport->bufferPool.maxFree = config.commBuffers ? config.commBuffers : 16;
}

void sendStartCommands(HWND window, SVRCFG& config) {
    PostCmdMessage(window, CMD_START, 0);
    if (config.appStatus) PostCmdMessage(window, MENU_STATUS_DISPLAY, 0);
    if (config.logAppRequests) PostCmdMessage(window, MENU_LOG_ALL_REQUESTS, 0, TRUE);
    if (config.initialTraceState || config.technicalSupport)
        for (const STARTTRACE& t : START_TRACES)
            if (config.*t.setting) PostCmdMessage(window, t.command, 0, TRUE);
    PostCmdMessage(window, MENU_VIEW_CONNECTING, 0);
    PostCmdMessage(window, MENU_DETAIL_POPUP, 0);
    for (int line = CMD_LINE1; line <= CMD_LINE4; ++line) PostCmdMessage(window, line, 0, TRUE);
}
}  // namespace

BOOL ConsoleStartUp(zApp& app, const char* title) {
    SVRSYSTEM* svr = _pSvr;
    if (!svr) return FALSE;
    UIInitializeApplication();
    sizeMainWindow(svr->corvath);
    FORMAPP* form = new FORMAPP(title, app.showCmd);
    if (!form->windowHandle()) {
        delete form;
        return FALSE;
    }
    _ServerConsoleSteps.destroyWindow = ConsoleDestroyWindow;
    _ServerConsoleSteps.releaseTray = ConsoleRelease;
    _ConsoleEntries.provideStatus = STATUSINFO::ProvideObject;
    applyTraceSettings(svr->config);
    zIcon icon{zResId(IDI_LARGE)};
    form->setIcon(&icon);
    svr->consoleWindow = form->windowHandle();
    sendStartCommands(form->windowHandle(), svr->config);
    return TRUE;
}

void ConsoleDestroyWindow() {
    _ConsoleEntries.provideStatus = nullptr;
    FORMAPP* form = _pMainForm;
    if (form) delete form;
    delete _bmpSplash;
    _bmpSplash = nullptr;
}

void ConsoleRelease() { UITerminateApplication(); }
