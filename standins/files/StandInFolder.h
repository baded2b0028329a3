#pragma once
// Where a stand-in finds its scenario, control and journal files, and which
// module it is.
#include <string>

namespace standin {

// The folder named by QV_STANDINS, else the folder of the module this code is
// linked into; with a trailing backslash.
std::string Folder();
// A file of that folder.
std::string FolderFile(const char* name);
// Full path of the module this code is linked into.
std::string ModulePath();

}  // namespace standin
