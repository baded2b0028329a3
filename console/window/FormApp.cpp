#include "FormApp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "BmpShowPane.h"
#include "ConsoleIds.h"
#include "LinkInterface.h"
#include "LogFile.h"
#include "SpControl.h"
#include "StatusInfo.h"
#include "StatusLine.h"
#include "StatusPane.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TaskAbend.h"
#include "TextHelpers.h"
#include "TraceDump.h"
#include "TrayIcon.h"
#include "zApp.h"
#include "zBitmap.h"
#include "zMenu.h"
#include "zNotify.h"
#include "zResId.h"
#include "zSizer.h"
#include "zTimer.h"

FORMAPP* _pMainForm = nullptr;
int _MainFormPosX = 0, _MainFormPosY = 0, _MainFormWidth = 345, _MainFormHeight = 143;
int _SysPixWidth = 0, _SysPixHeight = 0;
zBitmap* _bmpSplash = nullptr;

int FORMAPP::animationIndex = 0;
BOOL FORMAPP::idleIcons = TRUE;
int FORMAPP::tickCount = 0;

namespace {
const int STATUS_LINE_HEIGHT = 20;


// An icon file of the configuration directory named by a string id.
zIcon* iconFile(int nameId) {
    char path[MAX_PATH];
    BuildPathName(path, _pSvr ? _pSvr->configDirectory : ".", ServerText(nameId));
    return new zIcon(path);
}
}  // namespace

BOOL FORMAPP::useTrayIcon() { return _pSvr && _pSvr->config.useIconTray; }
BOOL FORMAPP::useIconFiles() { return _pSvr && _pSvr->config.testIconFiles; }

FORMAPP::FORMAPP(const char* title, int showCommand)
    : zAppFrame(nullptr, new zSizer(_MainFormPosX, _MainFormPosY, _MainFormWidth, _MainFormHeight),
                WS_OVERLAPPEDWINDOW, nullptr, 1),
      statusPane(nullptr), progressDialog(nullptr), detailPopup(FALSE), statusDisplay(FALSE), logAllRequests(FALSE),
      statusChain(nullptr), mainMenu(nullptr), helpFile(nullptr), bmpPane(nullptr), statusLine(nullptr),
      controlBox(nullptr), watchdog(nullptr), consoleTimer(nullptr), tickInterval(500), statusCheckPeriod(6),
      animationCount(0), largeIcon(nullptr), smallIcon(nullptr), trayIcon(nullptr), animationIcons(nullptr),
      menuHighlighted(FALSE), lineState{}, showState(showCommand), restartApp{},
      technicalSupport(_pSvr && _pSvr->config.technicalSupport) {
    create();
    _pMainForm = this;
    if (_pSupport) {
        _pSupport->appMessage = APP_MESSAGE;
        _pSupport->module.window = hwnd;
    }
    if (_pSvr) _pSvr->consoleWindow = hwnd;
    tickInterval = std::atoi(ServerText(IDS_TICK_INTERVAL));
    if (tickInterval <= 0) tickInterval = 500;
    statusCheckPeriod = 2 * ((tickInterval + 1001) / tickInterval);
    consoleTimer = new zTimer(this, zTimerOf(&FORMAPP::timerFunc), (DWORD)tickInterval);
    statusChain = new CHAIN<STATUSINFO>(TRUE);
    statusChain->prepare();
    if (HDC dc = GetDC(hwnd)) {
        int depth = GetDeviceCaps(dc, BITSPIXEL);
        if (depth >= 1 && depth <= 16 && _pSvr) _pSvr->lowColour = TRUE;
        ReleaseDC(hwnd, dc);
    }
    if (title) caption(title);
    createMainMenu();
    char helpPath[MAX_PATH];
    BuildPathName(helpPath, _pSvr ? _pSvr->configDirectory : ".", ServerText(IDS_HELP_FILE));
    helpFile = new HELPFILE(helpPath, ServerText(IDS_HELP_TITLE), 0);
    helpFile->SetWindow(hwnd);
    loadIcons();
    if (smallIcon) SetWindowIcon(hwnd, largeIcon ? largeIcon->hicon() : nullptr, smallIcon->hicon());
    statusLine = new STATUSLINE(this, new zGravSizer(zGravBottom, STATUS_LINE_HEIGHT, sizer));
    if (!statusLine) _Task_Abend(ABEND_STG101, 0);
    statusLine->setupNotification(this, zHandlerOf(&FORMAPP::clearStatusLine), WM_MOUSEMOVE);
    statusLine->show();
    LINKINTERFACE::pStatusNotifier = &FORMAPP::commInterfaceStatus;
    LINKINTERFACE::pDialerParms = &FORMAPP::dialerUIPrompt;
    setHandler(this, zHandlerOf(&FORMAPP::AppCommand), APP_MESSAGE);
    // Windows ending always reaches the shutdown: the registry restore and the
    // log close must not depend on the tray setting.
    setHandler(this, zHandlerOf(&FORMAPP::sysShutdown), WM_ENDSESSION);
    if (useTrayIcon()) {
        setHandler(this, zHandlerOf(&FORMAPP::sysCommand), WM_SYSCOMMAND);
        setHandler(this, zHandlerOf(&FORMAPP::taskBarMsg), TRAY_MESSAGE);
    }
}

FORMAPP::~FORMAPP() {
    SVRSYSTEM* svr = _pSvr;
    if (_pSupport && _pSupport->trace.active) {
        if (svr && svr->shutdownReason) WriteTraceTable(&_pSupport->trace, "TRACE.DAT");
        _pSupport->trace.StopTrace();
    }
    if (useTrayIcon() && showState == SHOW_IN_TRAY) UIRestoreApplication(hwnd);
    delete bmpPane;
    bmpPane = nullptr;
    delete statusPane;
    statusPane = nullptr;
    delete statusLine;
    statusLine = nullptr;
    if (helpFile) helpFile->SetWindow(nullptr);
    delete helpFile;
    helpFile = nullptr;
    if (statusChain) {
        statusChain->RemoveAll(TRUE, nullptr);
        statusChain->freeobj();
        statusChain = nullptr;
    }
    delete consoleTimer;
    consoleTimer = nullptr;
    delete watchdog;
    watchdog = nullptr;
    for (int i = 0; i < animationCount; ++i) delete animationIcons[i];
    delete[] animationIcons;
    delete largeIcon;
    delete smallIcon;
    delete trayIcon;
    if (_pSupport) {
        _pSupport->appMessage = 0;
        if (_pSupport->module.window == hwnd) _pSupport->module.window = nullptr;
    }
    if (svr && svr->consoleWindow == hwnd) svr->consoleWindow = nullptr;
    if (LINKINTERFACE::pStatusNotifier == &FORMAPP::commInterfaceStatus) LINKINTERFACE::pStatusNotifier = nullptr;
    if (LINKINTERFACE::pDialerParms == &FORMAPP::dialerUIPrompt) LINKINTERFACE::pDialerParms = nullptr;
    if (_pMainForm == this) _pMainForm = nullptr;
}

int FORMAPP::create() {
    caption(ServerText(IDS_APP_CLASS));
    return zFrameWin::create();
}

void FORMAPP::loadIcons() {
    BOOL files = useIconFiles();
    largeIcon = files ? iconFile(IDS_ICON_FILE_LARGE) : new zIcon(zResId(IDI_LARGE));
    smallIcon = files ? iconFile(IDS_ICON_FILE_SMALL) : new zIcon(zResId(IDI_SMALL));
    trayIcon = files ? iconFile(IDS_ICON_FILE_TRAY) : new zIcon(zResId(IDI_TRAY));
    animationCount = std::atoi(ServerText(IDS_ANIMATION_COUNT));
    if (animationCount <= 0) {
        animationCount = 0;
        return;
    }
    animationIcons = new zIcon*[animationCount];
    for (int i = 0; i < animationCount; ++i)
        animationIcons[i] = files ? iconFile(IDS_ICON_FILE_ANIMATION + i) : new zIcon(zResId(IDI_ANIMATION + i));
}

int FORMAPP::size(zSizeEvt*) { return 1; }

void FORMAPP::display() {
    if (showState == SW_SHOWDEFAULT) {
        STARTUPINFOA info;
        std::memset(&info, 0, sizeof info);
        info.cb = sizeof info;
        GetStartupInfoA(&info);
        showState = (info.dwFlags & STARTF_USESHOWWINDOW) ? info.wShowWindow : SW_SHOWNORMAL;
    }
    if (useTrayIcon() && (showState == SW_SHOWMINIMIZED || showState == SW_MINIMIZE || showState == SW_SHOWMINNOACTIVE))
        showState = UIMinimizeApplication(hwnd, largeIcon ? largeIcon->hicon() : nullptr,
                                          trayIcon ? trayIcon->hicon() : nullptr);
    if (_pSvr && _pSvr->corvath)
        createBmpPane();
    else
        createStatusPane();
    SetSize();
    show(showState);
}

void FORMAPP::SetSize() {
    RECT window, client;
    GetWindowRect(hwnd, &window);
    GetClientRect(hwnd, &client);
    int width = (window.right - window.left) - (client.right - client.left) + _MainFormWidth;
    int height = (window.bottom - window.top) - (client.bottom - client.top) + _MainFormHeight;
    // A menu bar that wraps changes the frame: measure once more after the move.
    for (int pass = 0; pass < 2; ++pass) {
        MoveWindow(hwnd, _SysPixWidth / 2 - width / 2, _SysPixHeight / 2 - height / 2, width, height, TRUE);
        GetWindowRect(hwnd, &window);
        GetClientRect(hwnd, &client);
        width = (window.right - window.left) - (client.right - client.left) + _MainFormWidth;
        height = (window.bottom - window.top) - (client.bottom - client.top) + _MainFormHeight;
    }
}

void FORMAPP::relayout() {
    RECT client;
    GetClientRect(hwnd, &client);
    zEvent e(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    resolveSize(static_cast<zSizeEvt*>(&e));
}

void FORMAPP::createStatusPane() {
    delete statusPane;
    statusPane = new STATUSPANE(this, new zGravSizer(zGravTopLeft, 0, sizer), _pSvr && _pSvr->corvath);
    relayout();
    statusPane->setupNotification(this, zHandlerOf(&FORMAPP::mouseMove), WM_MOUSEMOVE);
    statusPane->show();
}

void FORMAPP::createBmpPane() {
    delete bmpPane;
    bmpPane = new BMPSHOWPANE(this, new zGravSizer(zGravTopLeft, 0, sizer), _bmpSplash);
    if (!bmpPane) _Task_Abend(ABEND_STG101, 0);
    relayout();
    bmpPane->show();
}

void FORMAPP::setIcons(zIcon* large, zIcon* small, zIcon* tray) {
    SetWindowIcon(hwnd, large ? large->hicon() : nullptr, small ? small->hicon() : nullptr);
    if (useTrayIcon() && showState == SHOW_IN_TRAY) UIModifyApplication(hwnd, tray ? tray->hicon() : nullptr);
}

void FORMAPP::timerFunc() {
    SVRSYSTEM* svr = _pSvr;
    if (!svr) return;
    if (svr->closing) {
        if (svr->waitingForRequests && !svr->HasActiveReqs(FALSE, TRUE)) {
            svr->waitingForRequests = FALSE;
            PostCmdMessage(hwnd, CMD_RELEASE_CONTROL, 0);
        }
        return;
    }
    if (_pSupport) _pSupport->timers.PopTimers();
    BOOL active = svr->HasActiveReqs(FALSE, FALSE);
    if ((!active && !useIconFiles()) || animationCount == 0) {
        if (!idleIcons) {
            idleIcons = TRUE;
            animationIndex = 0;
            setIcons(largeIcon, smallIcon, trayIcon);
        }
    } else {
        idleIcons = FALSE;
        if (++animationIndex >= animationCount) animationIndex = 0;
        zIcon* icon = animationIcons[animationIndex];
        setIcons(icon, icon, icon);
    }
    if (++tickCount < statusCheckPeriod) return;
    tickCount = 0;
    int x = 0, y = 0;
    if (statusLine && !menuHighlighted && !statusLine->IsHolding() && GetCursorPosition(&x, &y)) {
        RECT r;
        GetWindowRect(hwnd, &r);
        if (x < r.left || x > r.right || y < r.top || y > r.bottom) statusLine->SetMessage("", FALSE);
    }
    PostAppMessage(hwnd, APPMSG_LINE_CHECK, 0);
}

int FORMAPP::mouseMove(zMouseMoveEvt* e) {
    SVRSYSTEM* svr = _pSvr;
    if (!svr || !svr->ready || svr->closing || !statusLine || !statusPane) return 1;
    if (statusPane->WithinConnBox(zPoint(e->x(), e->y())))
        statusLine->SetMessage("Left click on connection for detail window", FALSE);
    else
        clearStatusLine(e);
    return 1;
}

int FORMAPP::clearStatusLine(zEvent*) {
    if (statusLine && !statusLine->IsHolding()) statusLine->SetMessage("", FALSE);
    return 0;
}

int FORMAPP::focus(zFocusEvt* e) {
    if (e->gainFocus() && statusPane && statusPane->hwnd) SetFocus(statusPane->hwnd);
    return 1;
}

int FORMAPP::kill(zEvent*) {
    SVRSYSTEM* svr = _pSvr;
    if (!svr || !svr->closing) {
        PostCmdMessage(hwnd, CMD_SHUTDOWN_REQUEST, 0);
        return 1;
    }
    return svr->ready ? 1 : 0;
}

STATUSINFO* FORMAPP::GetStatusInfo(APPCONNECTION* connection) {
    if (!statusChain) return nullptr;
    // Found and bound in one step: two server threads never share a free record.
    APPSTATUS::Lock();
    STATUSINFO* found = nullptr;
    {
        CITERATOR<STATUSINFO> it;
        for (STATUSINFO* r = it.Begin(*statusChain); r && !found; r = it.Next())
            if (!r->InUse()) found = r;
        it.End();
    }
    if (!found) {
        found = new STATUSINFO();
        found->prepare();
        statusChain->Add(*found);
    }
    if (connection)
        found->Startup(connection);
    else
        found->cleared = FALSE;
    APPSTATUS::UnLock();
    return found;
}

void FORMAPP::DisplayStatusMsg(const char* text, BOOL timed) {
    if (statusLine) statusLine->SetMessage(text, timed);
}

void FORMAPP::viewFile(const char* viewer, const char* fileName) {
    unsigned long code = ExecuteProgram(viewer, viewer, fileName, 0, 0, nullptr);
    if (!code || !_pMainForm) return;
    char text[512];
    std::snprintf(text, sizeof text, "Internal error %lu attempting to execute the %s program.", code, viewer);
    DisplayMessage(hwnd, ServerText(IDS_ALERT_CAPTION), text, TRUE);
}

void FORMAPP::viewFile(const char* viewer, LOGFILE* log) {
    if (!log) return;
    char copy[80];
    char base[65];
    _strzcpy(base, log->baseName, sizeof base);
    std::snprintf(copy, sizeof copy, "%s.TMP", base);
    if (!log->FileCopy(copy)) {
        if (!_pMainForm) return;
        char text[256];
        std::snprintf(text, sizeof text, "Error copying %s log to %s. ", base, copy);
        DisplayMessage(hwnd, ServerText(IDS_ALERT_CAPTION), text, TRUE);
        return;
    }
    viewFile(viewer, copy);
}

void FORMAPP::quickShutDown() {
    delete watchdog;
    watchdog = nullptr;
    if (_pSvr) _pSvr->MainSystemTerm(TRUE);
}

void FORMAPP::logLine(const char* text) {
    if (_pSvr) _pSvr->systemLog.Write(text);
}

void FORMAPP::alert(int captionId, const char* text) {
    DisplayMessage(hwnd, ServerText(captionId), text, TRUE);
}

BOOL FORMAPP::ask(int captionId, int textId) {
    return MessageBoxA(hwnd, ServerText(textId), ServerText(captionId), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void FORMAPP::markStatusDirty() {
    if (statusDisplay && statusPane) statusPane->setDirtyStatus();
}
