#pragma once
// The removal program's work: empty an installation directory, delete the
// installer's two work files beside it and remove it. Paths are Windows
// paths in the system's multi-byte code page.
#include "QvBase.h"

// The removal program's path buffer: the system's path limit.
const int REMOVAL_PATH_SIZE = 260;

// Checks and normalises the command line into directory (REMOVAL_PATH_SIZE
// bytes): blanks around it and one pair of quotes are stripped, the path is
// made full. Refused (false, directory empty): paths that do not fit, that are
// not absolute, a drive or share root, the Windows or system directory or a
// directory holding either of them.
BBOOL CheckRemovalPath(const char* commandLine, char* directory);

// Splits path at its last separator (not a DBCS trail byte): head gets the
// path up to and including it, tail the rest; without one head is empty.
void SplitName(const char* path, char* head, char* tail, char separator);
// 1 when text is not empty and its last character is c (not a trail byte).
int LastChar(const char* text, char c);
// Deletes what the directory holds, subdirectories included; what cannot be
// deleted stays. Always 1.
int ClearDirectory(const char* directory);
// One attempt: clear the directory, delete "_INS0432._QV" and "_INZ0432._QV"
// in its parent (which becomes the current directory) and remove it. Nonzero
// when the directory is gone.
int DeleteDirectories(char* directory);
