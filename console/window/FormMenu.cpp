// The main window's menu bar: built from menu 1000 (or 1001 with "Technical
// Support"), and its help texts in the status line while an item is highlighted.
#include <cstring>

#include "ConsoleIds.h"
#include "FormApp.h"
#include "LookupTable.h"
#include "SpControl.h"
#include "StatusLine.h"
#include "SvrSystem.h"
#include "TextHelpers.h"
#include "zMenu.h"
#include "zNotify.h"
#include "zResId.h"

// Menu ids (popups by their title) and the string ids of their help texts.
LOOKUPROW _MenuHelpTable[] = {
    {"&File", 0, 1, 0x4B0, 6100, 0},     {"", 0, 1, 0x4B1, 6101, 0},          {"", 0, 1, 0x4B2, 6102, 0},
    {"&Clear", 0, 1, 0x4B3, 6103, 0},    {"", 0, 1, 0x4BB, 6380, 0},          {"", 0, 1, 0x4BC, 6381, 0},
    {"", 0, 1, 0x4BA, 6382, 0},          {"", 0, 1, 0x53D, 6370, 0},          {"", 0, 1, 0x4B4, 6104, 0},
    {"&Options", 0, 1, 0x4E2, 6200, 0},  {"", 0, 1, 0x4E3, 6201, 0},          {"&Connect", 0, 1, 0x4EC, 6340, 0},
    {"", 0, 1, 0x4ED, 6341, 0},          {"", 0, 1, 0x4EE, 6342, 0},          {"", 0, 1, 0x4EF, 6343, 0},
    {"", 0, 1, 0x4F0, 6344, 0},          {"", 0, 1, 0x4F1, 6345, 0},          {"&Support", 0, 1, 0x514, 6300, 0},
    {"", 0, 1, 0x515, 6301, 0},          {"", 0, 1, 0x516, 6302, 0},          {"", 0, 1, 0x517, 6303, 0},
    {"", 0, 1, 0x518, 6304, 0},          {"&Tracing", 0, 1, 0x528, 6305, 0},  {"", 0, 1, 0x529, 6350, 0},
    {"", 0, 1, 0x52A, 6351, 0},          {"", 0, 1, 0x52B, 6352, 0},          {"", 0, 1, 0x52C, 6353, 0},
    {"", 0, 1, 0x52D, 6361, 0},          {"", 0, 1, 0x532, 6366, 0},          {"", 0, 1, 0x533, 6367, 0},
    {"", 0, 1, 0x52E, 6362, 0},          {"", 0, 1, 0x52F, 6363, 0},          {"", 0, 1, 0x531, 6365, 0},
    {"&Cache", 0, 1, 0x53C, 6306, 0},    {"", 0, 1, 0x4CE, 6330, 0},          {"", 0, 1, 0x53E, 6372, 0},
    {"", 0, 1, 0x53F, 6373, 0},          {"&Debugging", 0, 1, 0x546, 6307, 0}, {"", 0, 1, 0x547, 6308, 0},
    {"", 0, 1, 0x548, 6309, 0},          {"", 0, 1, 0x549, 6310, 0},          {"&View", 0, 1, 0x4C4, 6320, 0},
    {"", 0, 1, 0x4C5, 6321, 0},          {"", 0, 1, 0x4C6, 6322, 0},          {"", 0, 1, 0x4C7, 6323, 0},
    {"", 0, 1, 0x4C8, 6324, 0},          {"", 0, 1, 0x4C9, 6325, 0},          {"", 0, 1, 0x4CA, 6326, 0},
    {"", 0, 1, 0x4CB, 6327, 0},          {"", 0, 1, 0x4CC, 6328, 0},          {"", 0, 1, 0x4CF, 6331, 0},
    {"", 0, 1, 0x4CD, 6329, 0},          {"&Help", 0, 1, 0x578, 6400, 0},     {"", 0, 1, 0x579, 6401, 0},
    {"", 0, 1, 0x57A, 6402, 0},          {"", 0, 1, 0x57B, 6403, 0},          {"", 0, 0, 0, 0, 0},
};

LOOKUPROW _popupMenuTable[POPUP_MENU_ROWS + 1];
int _popupMenuCount = 0;

namespace {
// A row of the menu help table by its title key (popups only).
LOOKUPROW* popupRow(const char* title) {
    for (LOOKUPROW* r = _MenuHelpTable; r->valid; ++r)
        if (r->name[0] && std::strcmp(r->name, title) == 0) return r;
    return nullptr;
}
}  // namespace

void buildPopupMenuTable(HMENU menu, int& count) {
    int items = GetMenuItemCount(menu);
    for (int i = 0; i < items; ++i) {
        if (GetMenuItemID(menu, i) != (UINT)-1) continue;
        char title[100] = {};
        GetMenuStringA(menu, (UINT)i, title, sizeof title, MF_BYPOSITION);
        HMENU sub = GetSubMenu(menu, i);
        LOOKUPROW* row = popupRow(title);
        if (row && count < POPUP_MENU_ROWS) {
            LOOKUPROW& out = _popupMenuTable[count++];
            std::memset(&out, 0, sizeof out);
            _strzcpy(out.name, ServerText((int)row->value2), sizeof out.name);
            out.valid = 1;
            out.value = (intptr_t)sub;
        }
        if (sub) buildPopupMenuTable(sub, count);
        std::memset(&_popupMenuTable[count], 0, sizeof _popupMenuTable[count]);
    }
    std::memset(&_popupMenuTable[count], 0, sizeof _popupMenuTable[count]);
}

void FORMAPP::createMainMenu() {
    SVRSYSTEM* svr = _pSvr;
    zMenu* m = new zMenu(this, zResId(technicalSupport ? IDM_SUPPORT : IDM_MAIN));
    if (svr && svr->corvath) {
        if (!svr->config.appFTP) m->deleteItem(MENU_CLEAR_FTP_LOG), m->deleteItem(MENU_VIEW_FTP_LOG);
        if (!svr->config.appHTTP) m->deleteItem(MENU_CLEAR_HTTP_LOG), m->deleteItem(MENU_VIEW_HTTP_LOG);
    }
    long lines = svr ? svr->lines.lineCount : 1;
    for (int n = 2; n <= 4; ++n)
        if (lines < n) m->deleteItem(MENU_LINE1 + n - 1);
    m->grayItem(MENU_HELP_INDEX, 1);
    if (technicalSupport) m->grayItem(MENU_WRITE_DATA, 1);
    if (_pSupport) {
        TRACETABLE& trace = _pSupport->trace;
        m->checkItem(MENU_TRACE_STARTED, trace.active != 0);
        m->checkItem(MENU_TRACE_PAUSED, trace.paused != 0);
        for (const TRACECLASS& c : traceClasses) m->checkItem(c.command, (trace.categories & c.bit) != 0);
    }
    if (svr && svr->corvath) {
        m->checkItem(MENU_STATUS_DISPLAY, statusDisplay);
        m->checkItem(MENU_LOG_ALL_REQUESTS, logAllRequests);
    }
    m->setHilite(this, zHandlerOf(&FORMAPP::menuHilite));
    menu(m);
    mainMenu = m;
    // Rebuilt from the start: a second menu's rows would otherwise run past the table.
    _popupMenuCount = 0;
    buildPopupMenuTable(m->handle(), _popupMenuCount);
    DrawMenuBar(hwnd);
}

void FORMAPP::checkMenu(unsigned id, BOOL on) {
    if (mainMenu) mainMenu->checkItem(id, on);
}

int FORMAPP::menuHilite(zEvent* e) {
    unsigned item = e->loWParam(), flags = e->hiWParam();
    HMENU menuHandle = (HMENU)e->lParm;
    menuHighlighted = !(flags == 0xFFFF && !menuHandle);
    if (!statusLine) return 0;
    if (!(flags & MF_POPUP) && item) {
        for (LOOKUPROW* r = _MenuHelpTable; r->valid; ++r)
            if (!r->name[0] && r->value == (intptr_t)item) {
                statusLine->SetMessage(ServerText((int)r->value2), FALSE);
                return 0;
            }
        return 0;
    }
    if (flags & MF_POPUP) {
        HMENU sub = GetSubMenu(menuHandle, (int)item);
        for (int i = 0; i < _popupMenuCount; ++i)
            if (_popupMenuTable[i].value == (intptr_t)sub) {
                statusLine->SetMessage(_popupMenuTable[i].name, FALSE);
                break;
            }
    }
    return 0;
}
