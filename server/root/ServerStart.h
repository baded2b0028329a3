#pragma once
// The server's part of the program start and end, run by zApp::main on the
// main thread: the server root, the configuration directory, the profiles,
// the users and the system log. The console's part stays with the program.
#include "QvWindows.h"
#include "QvBase.h"

// The two edition flags from the edition word (string 36), compared exactly.
void ReadEditionFlags(BBOOL& corvath, BBOOL& tessimara);

// The directory of a module file name: a drive root keeps its backslash, any
// other directory loses it; a name without one gives the current directory.
void ProgramDirectoryOf(const char* moduleName, char* out, int size);

// The first of: the program directory (when given), %QUORVANE%, the current
// drive's \QUORVANE\CONFIG, that becomes the current directory and holds a
// readable QUORHUB.INI. 0 with the directory in out; -1 with out empty.
int findSysConfigDirectory(BUFFER& out, const char* programDirectory);

// The command line's first word is "INSTALLSETUP" (exact case).
BBOOL IsSetupCommandLine(const char* commandLine);

class SVRCFG;
// The [Server Communications] switches into the link layer's process-wide settings.
void ApplyLinkSwitches(const SVRCFG& config);

enum SERVERSTART {
    SERVER_STARTED = 0,    // go on: create the console, run the message loop
    SERVER_BAD_VALUE = 1,  // an invalid profile value was shown; end without console
};

// Builds the server root (_pSvr) and reads the configuration, users and system
// log. Fatal failures end the process through _Task_Abend ("STG101", "INI100").
SERVERSTART ServerStartUp(HINSTANCE instance, const char* commandLine);

// After the message loop: stops the server when the console did not, closes
// the profiles and the system log. The root itself goes with ServerRelease.
void ServerShutDown();
void ServerRelease();
