#include "zSystemInfo.h"

#include <cstring>
#include <string>
#include <vector>

#include "zApp.h"
#include "zPrinterSpec.h"

namespace {

// A WIN.INI read that grows its buffer until the answer fits.
std::vector<char> ProfileRead(const char* section, const char* key) {
    std::vector<char> buf(4096);
    for (;;) {
        DWORD n = GetProfileStringA(section, key, "", buf.data(), DWORD(buf.size()));
        if (n + 2 < buf.size()) {
            buf.resize(n + 2);
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

}  // namespace

zSystemInfo::zSystemInfo() {
    HWND desk = GetDesktopWindow();
    HDC dc = GetDC(desk);
    width = GetDeviceCaps(dc, HORZRES);
    height = GetDeviceCaps(dc, VERTRES);
    pixPerInchX = GetDeviceCaps(dc, LOGPIXELSX);
    pixPerInchY = GetDeviceCaps(dc, LOGPIXELSY);
    mmHeight = GetDeviceCaps(dc, VERTSIZE);
    mmWidth = GetDeviceCaps(dc, HORZSIZE);
    ReleaseDC(desk, dc);
    zApp::ziScreenDefaults(width, height);
}

// Each line is sized from its names, so long names are not cut.
ZKTPtrSlist<zPrinterSpec>* zSystemInfo::getPrinterList() {
    auto* list = new ZKTPtrSlist<zPrinterSpec>;
    std::vector<char> names = ProfileRead("devices", nullptr);
    for (const char* name = names.data(); *name; name += std::strlen(name) + 1) {
        std::vector<char> value = ProfileRead("devices", name);
        std::string line = std::string(name) + "," + value.data();
        list->append(new zPrinterSpec(line.c_str()));
    }
    return list;
}

void zSystemInfo::releasePrinterList(ZKTPtrSlist<zPrinterSpec>* list) {
    if (!list) return;
    list->clearAndDestroy();
    delete list;
}
