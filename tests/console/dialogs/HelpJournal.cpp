#include "HelpJournal.h"

#include <cstring>

namespace console {
namespace {
std::vector<HelpRecord> journal;

// The viewer's record: size, command, data, reserved, file offset, data offset.
LRESULT CALLBACK JournalProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != WM_COPYDATA) return DefWindowProcA(h, msg, wParam, lParam);
    const COPYDATASTRUCT* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    const BYTE* b = static_cast<const BYTE*>(cds->lpData);
    if (!b || cds->cbData < 16) return TRUE;
    HelpRecord r;
    WORD command, ofsFile, ofsData;
    LONG data;
    std::memcpy(&command, b + 2, 2);
    std::memcpy(&data, b + 4, 4);
    std::memcpy(&ofsFile, b + 12, 2);
    std::memcpy(&ofsData, b + 14, 2);
    r.command = command;
    r.data = data;
    if (ofsFile && ofsFile < cds->cbData) r.file = reinterpret_cast<const char*>(b + ofsFile);
    if (ofsData && ofsData < cds->cbData)
        for (DWORD at = ofsData; at + 4 <= cds->cbData; at += 4) {
            DWORD v;
            std::memcpy(&v, b + at, 4);
            if (v == 0 && r.pairs.size() % 2 == 0) break;
            r.pairs.push_back(v);
        }
    journal.push_back(r);
    return TRUE;
}
}  // namespace

HelpJournal::HelpJournal() {
    journal.clear();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = JournalProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MS_WINHELP";
    RegisterClassA(&wc);
    window_ = CreateWindowA("MS_WINHELP", "Help Journal", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, wc.hInstance, nullptr);
}

HelpJournal::~HelpJournal() {
    DestroyWindow(window_);
    UnregisterClassA("MS_WINHELP", GetModuleHandleA(nullptr));
}

std::vector<HelpRecord> HelpJournal::records() const { return journal; }

}  // namespace console
