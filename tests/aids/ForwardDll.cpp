// A library whose exports are all forwarded (see the generated .def files): it
// has no code of its own beyond the entry point.
#include "QvWindows.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
