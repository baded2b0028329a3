// The quorhub program: zApp::main starts the server, creates the console
// window that drives the start and stop chain, runs the message loop and
// tears everything down in order.
#include "QvWindows.h"
#include "ConsoleProgram.h"
#include "ServerIds.h"
#include "ServerStart.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "zApp.h"

void zApp::main() {
    if (ServerStartUp(instance(), cmdLine) != SERVER_STARTED) return;
    if (!ConsoleStartUp(*this, ServerText(IDS_TITLE))) {
        _pSvr->systemLog.Write("Unable to create the console window");
        ServerShutDown();
        ServerRelease();
        ConsoleRelease();
        exitCode = 1;
        return;
    }
    if (_pSupport) _pSupport->lockObjectCleanup = 1;
    go();
    if (_pSupport) _pSupport->lockObjectCleanup = 0;

    ServerShutDown();
    ConsoleDestroyWindow();
    ServerRelease();
    ConsoleRelease();
}
