#pragma once
// The console's main frame window: every command of the server's start and
// shutdown chain, every application message of server and link threads and
// every menu command arrives here. It owns the menu, the status pane, the
// status line, the icons, the console timer and the status-record chain.
// GUI thread only, apart from the two static line callbacks.
#include "QvWindows.h"
#include "Chain.h"
#include "zFrameWin.h"

class STATUSPANE;
class STATUSLINE;
class STATUSINFO;
class BMPSHOWPANE;
class HELPFILE;
class LINKINTERFACE;
class LOGFILE;
class zMenu;
class zTimer;
class zIcon;
class zBitmap;

// Size, position and screen facts the program entry sets before the window exists.
extern int _MainFormPosX, _MainFormPosY, _MainFormWidth, _MainFormHeight;
extern int _SysPixWidth, _SysPixHeight;
extern zBitmap* _bmpSplash;

class FORMAPP : public zAppFrame {
public:
    // title may be null; showCommand is the program's start-up show command.
    FORMAPP(const char* title, int showCommand);
    ~FORMAPP() override;

    int size(zSizeEvt* e) override;
    int kill(zEvent* e) override;
    int command(zCommandEvt* e) override;
    int mouseMove(zMouseMoveEvt* e) override;
    int focus(zFocusEvt* e) override;
    int create() override;

    // The first show, from the start command.
    void display();
    void createStatusPane();
    void createBmpPane();
    // Client area exactly the main-form size, centred on the screen.
    void SetSize();
    // Every tick of the console timer.
    void timerFunc();
    int clearStatusLine(zEvent* e);
    // A free status record bound to connection in one step under the status
    // lock (a new one appended when none is free); null without the chain.
    // Runs on the server thread that made the connection.
    STATUSINFO* GetStatusInfo(class APPCONNECTION* connection = nullptr);
    void DisplayStatusMsg(const char* text, BOOL timed = TRUE);
    void DisplayCommStatus(LINKINTERFACE* line);
    void viewFile(const char* viewer, const char* fileName);
    void viewFile(const char* viewer, LOGFILE* log);

    // The application message (0x464): code in wParam, payload in lParam.
    int AppCommand(zEvent* e);
    // Link-layer threads: a line's status changed; credentials for a dial.
    static void commInterfaceStatus(LINKINTERFACE* line, const char* text);
    static int dialerUIPrompt(LINKINTERFACE* line, BUFFER& userName, BUFFER& password, BUFFER& domain);

    // Tray ("Use Icon Tray" only).
    int sysCommand(zEvent* e);
    int sysShutdown(zEvent* e);
    int taskBarMsg(zEvent* e);
    void hideShowWindows();
    // The line control box at a screen point (filled by the dialogs).
    void DisplayControlBox(int x, int y);

    // Menus.
    void createMainMenu();
    int menuHilite(zEvent* e);

    // The shutdown watchdog's handler.
    void quickShutDown();

    STATUSPANE* statusPane;   // absent while the bitmap pane shows
    void* progressDialog;     // the open progress dialog; none until the dialogs exist
    BOOL detailPopup;         // 0x4C7
    BOOL statusDisplay;       // 0x516
    BOOL logAllRequests;      // 0x517
    // Appended on server threads, walked on the GUI thread; its own lock.
    CHAIN<STATUSINFO>* statusChain;
    zMenu* mainMenu;          // owned by the frame once installed
    HELPFILE* helpFile;
    BMPSHOWPANE* bmpPane;
    STATUSLINE* statusLine;
    void* controlBox;         // the open line control box; none until the dialogs exist
    zTimer* watchdog;         // from the shutdown command until the end
    zTimer* consoleTimer;
    int tickInterval;         // milliseconds
    int statusCheckPeriod;    // ticks
    int animationCount;
    zIcon* largeIcon;
    zIcon* smallIcon;
    zIcon* trayIcon;
    zIcon** animationIcons;
    BOOL menuHighlighted;
    BOOL lineState[4];        // last known connected state of lines 1-4
    int showState;            // 0 in the tray, else a show command
    char restartApp[64];
    BOOL technicalSupport;    // "Technical Support", or switched on at the splash

    // Console timer counters shared by the one main window.
    static int animationIndex;
    static BOOL idleIcons;
    static int tickCount;

private:
    typedef int (FORMAPP::*COMMANDPROC)(LPARAM parameter, unsigned id);
    struct COMMANDROW {
        unsigned low;
        unsigned high;
        COMMANDPROC proc;
    };
    static const COMMANDROW commandTable[];
    // The trace class each trace menu item switches; the menu's checks read it too.
    struct TRACECLASS {
        unsigned command;
        unsigned short bit;
    };
    static const TRACECLASS traceClasses[6];

    // The server's chain.
    int cmdStart(LPARAM, unsigned);
    int cmdDebugResult(LPARAM, unsigned);
    int cmdServiceStarted(LPARAM, unsigned);
    int cmdServiceStopped(LPARAM, unsigned);
    int cmdShutdownRequest(LPARAM, unsigned);
    int cmdShutdown(LPARAM, unsigned);
    int cmdReleaseControl(LPARAM, unsigned);
    int cmdQuit(LPARAM, unsigned);
    int cmdReady(LPARAM, unsigned);
    int cmdStartControl(LPARAM, unsigned);
    int cmdStartError(LPARAM, unsigned);
    int cmdFatal(LPARAM, unsigned);
    int cmdCacheLoading(LPARAM, unsigned);
    int cmdStartLines(LPARAM, unsigned);
    int cmdReloadResult(LPARAM, unsigned);
    int cmdShowYourself(LPARAM, unsigned);
    int cmdLineState(LPARAM, unsigned);
    int cmdInitialRequests(LPARAM, unsigned);
    // Menu commands.
    int menuExit(LPARAM, unsigned);
    int menuNothing(LPARAM, unsigned);
    int menuDetailPopup(LPARAM, unsigned);
    int menuViewSystemLog(LPARAM, unsigned);
    int menuViewTraceLog(LPARAM, unsigned);
    int menuStatusDisplay(LPARAM, unsigned);
    int menuLogAllRequests(LPARAM, unsigned);
    int menuTraceStarted(LPARAM, unsigned);
    int menuTracePaused(LPARAM, unsigned);
    int menuTraceOutput(LPARAM, unsigned);
    int menuTraceClear(LPARAM, unsigned);
    int menuTraceClass(LPARAM, unsigned);
    int menuClearSystemLog(LPARAM, unsigned);

    // Application messages.
    void lineStatusRecord(LINKINTERFACE* line);
    void periodicLineCheck();

    void loadIcons();
    void setIcons(zIcon* large, zIcon* small, zIcon* tray);
    void relayout();
    void refreshLineMenu(int line);
    void checkMenu(unsigned id, BOOL on);
    void markStatusDirty();
    // A box with caption and text ids, the text maybe formatted with argument.
    void alert(int caption, const char* text);
    BOOL ask(int caption, int text);
    void logLine(const char* text);
    static BOOL useTrayIcon();
    static BOOL useIconFiles();
};

extern FORMAPP* _pMainForm;

struct LOOKUPROW;
// The menu help table: popups by title and items by id, with their help texts' string ids.
extern LOOKUPROW _MenuHelpTable[];
// Popup help rows built from the menu: help text, submenu handle; an end row follows.
const int POPUP_MENU_ROWS = 32;
extern LOOKUPROW _popupMenuTable[];
extern int _popupMenuCount;
// Appends the popups of menu (walked depth first) to the popup help table from count.
void buildPopupMenuTable(HMENU menu, int& count);
