#pragma once
// The application object, its message loop and the idle-task device.
#include "QvWindows.h"

#include <commdlg.h>

#include <cstdio>
#include <list>
#include <string>

#include "zMail.h"
#include "zWindow.h"

class ziWindowMap;
class zTimerDev;
class zTaskDev;
class zHandlerList;
class zResId;
class zControlType;

typedef int (zEvH::*TaskProc)();

class zTaskNode {
public:
    zEvH* target;
    TaskProc fn;
    zTaskNode(zEvH* t, TaskProc f) : target(t), fn(f) {}
    int isTaskFor(zEvH* t, TaskProc f) const { return t == target && f == fn; }
};

// Idle tasks: each runs once per idle slice until it answers nonzero.
class zTaskDev {
public:
    std::list<zTaskNode*> tasks;
    int enabled = 1;
    int taskCount = 0;
    std::list<zTaskNode*>::iterator* polling = nullptr;

    ~zTaskDev();
    void add(zEvH* target, TaskProc fn);
    void remove(zEvH* target, TaskProc fn);
    void poll();
    int count() const { return taskCount; }
    void enable(int on) { enabled = on; }

private:
    std::list<zTaskNode*> doomed;  // removed during a poll; freed after it
};

class zApp {
public:
    int showCmd;
    char* cmdLine;
    zWindow* mainFrame = nullptr;
    zTaskDev* taskDev = nullptr;
    zTimerDev* timerDev = nullptr;
    zHandlerList* appHandlers = nullptr;
    int dlgFontWeight = 400;
    ziWindowMap* winMap = nullptr;
    HMODULE resModule = 0;
    HINSTANCE hInst;
    HINSTANCE hPrevInst;
    std::list<std::string> registeredClasses;
    HACCEL accel = 0;
    char* resModuleName = nullptr;
    int exitCode = 0;
    int mdiKeysOff = 0;
    zMail mail;

    zApp(HINSTANCE inst, HINSTANCE prev, char* commandLine, int show);
    ~zApp();
    zApp(const zApp&) = delete;
    zApp& operator=(const zApp&) = delete;

    // The server's start-up and shutdown; defined by the program, not the framework.
    void main();

    void go();
    void quit();
    void setDefaultResourceModule(const char* name);
    const char* defaultResourceModule() const { return resModuleName; }
    HMODULE resourceModule() const { return resModule; }
    int loadAccelerator(const zResId& id);
    void setDefaultDlgFontWeight(int weight) { dlgFontWeight = weight == -1 ? 400 : weight; }
    int defaultDlgFontWeight() const { return dlgFontWeight; }
    int execute(const char* commandLine);
    void registerUserClass(const char* className, WNDPROC proc, const char* library);
    void setHandler(zEvH* target, NotifyProc fn, UINT message);
    void removeHandler(zEvH* target, NotifyProc fn, UINT message);
    ULONG sendMail(const ZKCString& note, const ZKCString& attachment) { return mail.send(note, attachment); }
    ULONG sendMail(const ZKCString& note, ZKTPtrSlist<ZKCString>& attachments) { return mail.send(note, attachments); }
    int isMailAvail() const { return mail.isValid(); }
    int routeDebugMessages(FILE* file);
    void rememberClass(const char* name);

    HINSTANCE instance() const { return hInst; }
    zWindow* rootWindow() const { return mainFrame; }
    ziWindowMap* windowMap() const { return winMap; }
    zTaskDev* tasks() const { return taskDev; }
    zTimerDev* timers() const { return timerDev; }
    zHandlerList* handlerList() const { return appHandlers; }
    int exitValue() const { return exitCode; }
    HACCEL accelerators() const { return accel; }

    // Screen extents a display reported as 0 are taken as VGA (640 by 480).
    static void ziScreenDefaults(int& width, int& height);

    // The framework's control types that dialog templates may name, registered
    // by the constructor in this order, and the superclassed system controls.
    static const char* const kControlTypes[4];
    static const char* const kSuperClasses[6][2];  // (system class, framework class)

private:
    // True on the thread of the main frame (or while there is none).
    bool onMainThread() const;
    void handleMessage(MSG& m);
    void registerControls();
    std::list<zControlType*> ctrlTypes;
};

extern zApp* _app;
extern HWND _hMDIclient;
// Each thread's own: IsDialogMessageA serves only the calling thread's dialogs.
extern thread_local HWND _activeDialog;
extern int ___scrPixHeight;
extern int ___scrPixWidth;
extern int ___scrPixPerInchX;
extern int ___scrPixPerInchY;
extern int ___scrMmHeight;
extern int ___scrMmWidth;
extern HBRUSH __zAppGlobalBrush;
extern int __debugOn;
extern FILE* _zAppDebugFile;

// The print dialog's record, kept between dialogs so the user's last choices
// stay; made on first use (ziPrintDialogRecord), freed with the application.
extern PRINTDLGA* _zpdlg;

void _debug(const char* format, ...);
