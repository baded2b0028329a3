#pragma once
// One application object for the whole test program, and small helpers.
#include <windows.h>

#include "zApp.h"

namespace wintest {

// The application object, created on first use.
zApp* App();

// Runs the messages that are waiting now (no blocking).
void Pump();

}  // namespace wintest
