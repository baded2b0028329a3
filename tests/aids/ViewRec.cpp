// A stand-in "Logfile Editor": appends its command line to VIEWREC.LOG in its
// current directory and ends, so tests see which file the console opened.
#include "QvWindows.h"

#include <cstdio>

int main() {
    if (FILE* f = std::fopen("VIEWREC.LOG", "ab")) {
        std::fprintf(f, "%s\n", GetCommandLineA());
        std::fclose(f);
    }
    return 0;
}
