#pragma once
// The console's part of the program entry, run by zApp::main on the main
// thread: before the message loop it binds the tray, sizes and creates the
// main window and sends it the start commands; after it, tears it down.
#include "QvWindows.h"

class zApp;

// Creates _pMainForm with title and the program's show command and posts the
// start. FALSE when the window could not be made.
BOOL ConsoleStartUp(zApp& app, const char* title);
// Destroys the main window and the splash bitmap (after the server's profiles
// and log are closed).
void ConsoleDestroyWindow();
// Releases the tray's shell binding (last, after the server root).
void ConsoleRelease();
