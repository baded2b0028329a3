#include "zApp.h"

#include <ole2.h>

#include <cstdarg>
#include <cstring>

#include "zBitmapPane.h"
#include "zDlgTemplate.h"
#include "zNotify.h"
#include "zTabCtrl.h"
#include "zTextPane.h"
#include "zResId.h"
#include "zSystemInfo.h"
#include "zTimer.h"
#include "zWindowMap.h"

zApp* _app = nullptr;
HWND _hMDIclient = 0;
thread_local HWND _activeDialog = 0;
int ___scrPixHeight = 0;
int ___scrPixWidth = 0;
int ___scrPixPerInchX = 0;
int ___scrPixPerInchY = 0;
int ___scrMmHeight = 0;
int ___scrMmWidth = 0;
HBRUSH __zAppGlobalBrush = 0;
int __debugOn = 0;
FILE* _zAppDebugFile = nullptr;
PRINTDLGA* _zpdlg = nullptr;

const char* const zApp::kControlTypes[4] = {"zTextPane", "zPaneControl", "zBitmapPane", "zTabCtrl"};

const char* const zApp::kSuperClasses[6][2] = {{"button", "subbutton"},       {"listbox", "sublistbox"},
                                               {"scrollbar", "subscrollbar"}, {"static", "substatic"},
                                               {"edit", "subedit"},           {"combobox", "subcombobox"}};

namespace {

const zControlBuilder kBuilders[4] = {zCtrlBldzTextPane, zCtrlBldzPaneControl, zCtrlBldzBitmapPane, zCtrlBldzTabCtrl};

// The system procedure each superclass forwards to, by its row in kSuperClasses.
WNDPROC superBase[6];

template <int N>
LRESULT CALLBACK SuperProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return superBase[N] ? CallWindowProcA(superBase[N], h, m, w, l) : DefWindowProcA(h, m, w, l);
}

const WNDPROC kSuperProcs[6] = {SuperProc<0>, SuperProc<1>, SuperProc<2>, SuperProc<3>, SuperProc<4>, SuperProc<5>};

}  // namespace

void zApp::registerControls() {
    for (int i = 0; i < 4; ++i) ctrlTypes.push_back(new zControlType(kControlTypes[i], kBuilders[i]));
    for (int i = 0; i < 6; ++i) {
        WNDCLASSA wc;
        if (!GetClassInfoA(0, kSuperClasses[i][0], &wc)) continue;
        superBase[i] = wc.lpfnWndProc;
        wc.lpfnWndProc = kSuperProcs[i];
        wc.hInstance = hInst;
        wc.lpszClassName = kSuperClasses[i][1];
        wc.style = (wc.style & ~CS_GLOBALCLASS) | CS_DBLCLKS;
        // Already there from an earlier application object of this process: reuse it.
        if (RegisterClassA(&wc) || GetClassInfoA(hInst, kSuperClasses[i][1], &wc)) {
            rememberClass(kSuperClasses[i][1]);
            new zSuperClass(ZKCString(kSuperClasses[i][1]), nullptr, 0);
        }
    }
}

zTaskDev::~zTaskDev() {
    for (zTaskNode* n : tasks) delete n;
    for (zTaskNode* n : doomed) delete n;
}

void zTaskDev::add(zEvH* target, TaskProc fn) {
    tasks.push_back(new zTaskNode(target, fn));
    ++taskCount;
}

void zTaskDev::remove(zEvH* target, TaskProc fn) {
    for (auto it = tasks.begin(); it != tasks.end();) {
        if (!*it || !(*it)->isTaskFor(target, fn)) {
            ++it;
            continue;
        }
        --taskCount;
        if (polling) {
            // The poll may stand on this cell: blank it, the poll drops it.
            doomed.push_back(*it);
            *it = nullptr;
            ++it;
        } else {
            delete *it;
            it = tasks.erase(it);
        }
    }
}

void zTaskDev::poll() {
    if (!enabled || taskCount <= 0 || polling) return;
    auto it = tasks.begin();
    polling = &it;
    while (it != tasks.end()) {
        zTaskNode* n = *it;
        if (n && (n->target->*(n->fn))()) {
            // Finished; the task may have removed itself meanwhile.
            if (*it == n) {
                delete n;
                *it = nullptr;
                --taskCount;
            }
        }
        ++it;
    }
    polling = nullptr;
    tasks.remove(nullptr);
    for (zTaskNode* n : doomed) delete n;
    doomed.clear();
}

zApp::zApp(HINSTANCE inst, HINSTANCE prev, char* commandLine, int show)
    : showCmd(show), cmdLine(commandLine), hInst(inst), hPrevInst(prev) {
    winMap = new ziWindowMap(WindowHashProc, 97);
    OleInitialize(nullptr);
    _hMDIclient = 0;
    _activeDialog = 0;
    taskDev = new zTaskDev;
    exitCode = 0;

    zSystemInfo screen;
    ___scrPixHeight = screen.height;
    ___scrPixWidth = screen.width;
    ___scrPixPerInchX = screen.pixPerInchX;
    ___scrPixPerInchY = screen.pixPerInchY;
    ___scrMmHeight = screen.mmHeight;
    ___scrMmWidth = screen.mmWidth;

    resModule = 0;
    resModuleName = nullptr;
    mdiKeysOff = 0;
    if (!_app) _app = this;
    registerControls();
    dlgFontWeight = 400;
}

void zApp::ziScreenDefaults(int& width, int& height) {
    if (width == 0) width = 640;
    if (height == 0) height = 480;
}

zApp::~zApp() {
    OleUninitialize();
    if (resModule) FreeLibrary(resModule);
    resModule = 0;
    for (const std::string& name : registeredClasses) UnregisterClassA(name.c_str(), hInst);
    registeredClasses.clear();
    if (__zAppGlobalBrush) {
        DeleteObject(__zAppGlobalBrush);
        __zAppGlobalBrush = 0;
    }
    zSuperClass::unregister();
    for (zControlType* t : ctrlTypes) delete t;
    ctrlTypes.clear();
    delete timerDev;
    timerDev = nullptr;
    delete winMap;
    winMap = nullptr;
    if (_zpdlg) {
        if (_zpdlg->hDevNames) GlobalFree(_zpdlg->hDevNames);
        if (_zpdlg->hDevMode) GlobalFree(_zpdlg->hDevMode);
        delete _zpdlg;
        _zpdlg = nullptr;
    }
    delete appHandlers;
    delete taskDev;
    delete[] resModuleName;
    if (_app == this) _app = nullptr;
}

bool zApp::onMainThread() const {
    return !mainFrame || !mainFrame->hwnd || GetWindowThreadProcessId(mainFrame->hwnd, nullptr) == GetCurrentThreadId();
}

void zApp::handleMessage(MSG& m) {
    // The main window's keys and the MDI keys belong to the main frame's thread.
    if (!onMainThread()) {
        if (_activeDialog && IsWindow(_activeDialog) && IsDialogMessageA(_activeDialog, &m)) return;
        TranslateMessage(&m);
        DispatchMessageA(&m);
        return;
    }
    if (accel && mainFrame && mainFrame->hwnd && IsWindowEnabled(mainFrame->hwnd) &&
        TranslateAcceleratorA(mainFrame->hwnd, accel, &m))
        return;
    if (!mdiKeysOff && _hMDIclient && TranslateMDISysAccel(_hMDIclient, &m)) return;
    if (_activeDialog && IsWindow(_activeDialog) && IsDialogMessageA(_activeDialog, &m)) return;
    TranslateMessage(&m);
    DispatchMessageA(&m);
}

void zApp::go() {
    MSG m;
    memset(&m, 0, sizeof m);
    // Idle tasks and the exit code are the main thread's; another thread's
    // modal loop (the dial-up login) only pumps its own messages.
    const bool own = onMainThread();
    for (;;) {
        // A disabled device would only spin the loop: wait for messages then.
        if (own && taskDev && taskDev->enabled && taskDev->count() > 0) {
            if (!PeekMessageA(&m, 0, 0, 0, PM_NOREMOVE)) {
                taskDev->poll();
                continue;
            }
            GetMessageA(&m, 0, 0, 0);
        } else if (GetMessageA(&m, 0, 0, 0) == 0) {
            break;
        }
        if (m.message == WM_QUIT) break;
        handleMessage(m);
    }
    if (own) exitCode = (int)m.wParam;
}

void zApp::quit() { PostQuitMessage(0); }

void zApp::setDefaultResourceModule(const char* name) {
    if (name == (const char*)-1) {
        resModuleName = nullptr;  // forgets only; the module stays loaded
        return;
    }
    delete[] resModuleName;
    resModuleName = nullptr;
    if (name) {
        resModuleName = new char[strlen(name) + 1];
        strcpy(resModuleName, name);
    }
    if (resModule) FreeLibrary(resModule);
    resModule = name ? LoadLibraryA(name) : 0;
}

int zApp::loadAccelerator(const zResId& id) {
    HMODULE mod = hInst;
    HMODULE loaded = 0;
    if (const char* lib = id.moduleName()) {
        loaded = LoadLibraryA(lib);
        if ((UINT_PTR)loaded < 32) return 0;
        mod = loaded;
    } else if (id.moduleHandle()) {
        mod = id.moduleHandle();
    }
    HACCEL table = LoadAcceleratorsA(mod, id.id());
    if (loaded) FreeLibrary(loaded);
    accel = table;
    return table != 0;
}

void zApp::registerUserClass(const char* className, WNDPROC proc, const char* library) {
    HMODULE lib = 0;
    if (library) {
        lib = LoadLibraryA(library);
        if (!lib) GetLastError();  // the class may still be usable without it
    }
    zSuperClass* rec = new zSuperClass(ZKCString(className), proc, lib);
    // The new procedure learns the system procedure it forwards to.
    if (proc) proc(0, 0, 0, (LPARAM)rec->baseProc());
}

int zApp::execute(const char* commandLine) { return WinExec(commandLine, SW_SHOW) >= 32; }

void zApp::setHandler(zEvH* target, NotifyProc fn, UINT message) {
    if (!appHandlers) appHandlers = new zHandlerList;
    appHandlers->insert(new zNotifyNode(0, 0xFFFF, fn, target, message));
}

void zApp::removeHandler(zEvH* target, NotifyProc fn, UINT message) {
    if (appHandlers) appHandlers->removeFirst(zEvent(0, message, 0, 0), target, fn);
}

int zApp::routeDebugMessages(FILE* file) {
    _zAppDebugFile = file;
    return 1;
}

void zApp::rememberClass(const char* name) { registeredClasses.push_back(name); }

void _debug(const char* format, ...) {
    if (!__debugOn) return;
    static bool consoleOpen = false;
    if (!consoleOpen) {
        AllocConsole();
        freopen("CONOUT$", "w", stdout);
        setvbuf(stdout, nullptr, _IONBF, 0);
        consoleOpen = true;
    }
    char buf[200];
    va_list ap;
    va_start(ap, format);
    vsnprintf(buf, sizeof buf, format, ap);
    va_end(ap);
    printf("%s\n", buf);
    if (_zAppDebugFile) {
        fprintf(_zAppDebugFile, "%s\n", buf);
    } else {
        OutputDebugStringA(buf);
        OutputDebugStringA("\r\n");
    }
}
