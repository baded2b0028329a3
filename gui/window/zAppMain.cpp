// The program entry of GUI programs; kept apart so that programs with their own entry
// (the test programs) never pull it in.
#include "zApp.h"

int WINAPI WinMain(HINSTANCE inst, HINSTANCE prev, LPSTR cmdLine, int show) {
    _app = new zApp(inst, prev, cmdLine, show);
    _app->main();
    int code = _app->exitValue();
    delete _app;
    _app = nullptr;
    return code;
}
