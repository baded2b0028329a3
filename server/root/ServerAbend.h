#pragma once
// The server root's and the console's steps of the fatal exit, joined to the
// platform's hooks when the server root is made.
#include "QvWindows.h"
#include "QvBase.h"

// Console steps, filled by the program's start-up: the server library never
// links the console. Either may stay null.
struct SERVERCONSOLESTEPS {
    void (*destroyWindow)();  // destroys the console window
    void (*releaseTray)();    // releases the tray's shell library
};
extern SERVERCONSOLESTEPS _ServerConsoleSteps;

class SVRSYSTEM;

// Installs the fatal exit's server and console steps, and the platform's
// trace and system-log steps with the server's system log. Called by the
// server root's constructor; the steps act on _pSvr once it is set.
void InstallServerAbendHooks(SVRSYSTEM* server);
