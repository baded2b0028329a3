#include "ControlBox.h"

#include <cstdlib>

#include "ConsoleIds.h"
#include "DialogBases.h"
#include "FormApp.h"
#include "StatusPane.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TcpInterface.h"
#include "TrayIcon.h"
#include "zBitmap.h"
#include "zBitmapPane.h"
#include "zDisplay.h"
#include "zGeometry.h"
#include "zNotify.h"
#include "zSizer.h"

namespace {
const int PANE_ID = 2555;
const int CONNECTED_PICTURE = 2553, CONNECTED_FILE = 1022;
const int DISCONNECTED_PICTURE = 2554, DISCONNECTED_FILE = 1023;

struct BOXPICTURE {
    int resource, file;
};
const BOXPICTURE ONE_LINE = {2551, 1020}, TWO_LINES = {2550, 1019}, FOUR_LINES = {2552, 1021};
// Pane positions (x, y string ids) of lines 1-4; line 1 alone sits apart.
const int PANE_STRINGS[4][2] = {{1025, 1026}, {1027, 1028}, {1029, 1030}, {1031, 1032}};
const int LONE_PANE_STRINGS[2] = {1033, 1034};

long number(int stringId) { return std::atol(ServerText(stringId)); }

BOOL definedLine(int n) { return TCPINTERFACE::IsLineDefined(n); }
int policySwitch(int n, BOOL up) { return _pSvr ? _pSvr->lines.SetLineState(n, up) : 0; }

zBitmap* picture(int resource, int file) { return LoadConsolePicture(resource, file); }
}  // namespace

BOOL (*CONTROLBOXDLG::lineDefined)(int) = definedLine;
int (*CONTROLBOXDLG::switchLine)(int, BOOL) = policySwitch;

CONTROLBOXLAYOUT ControlBoxLayout(long lineCount, const BOOL defined[4]) {
    CONTROLBOXLAYOUT l = {};
    l.shown[0] = TRUE;
    l.shown[1] = lineCount >= 2 && defined[1];
    l.shown[2] = l.shown[3] = lineCount >= 3 && (defined[2] || defined[3]);
    const BOXPICTURE& box = l.shown[2] ? FOUR_LINES : l.shown[1] ? TWO_LINES : ONE_LINE;
    l.boxPicture = box.resource;
    l.boxFile = box.file;
    for (int i = 0; i < 4; ++i) l.pane[i] = {number(PANE_STRINGS[i][0]), number(PANE_STRINGS[i][1])};
    if (!l.shown[1]) l.pane[0] = {number(LONE_PANE_STRINGS[0]), number(LONE_PANE_STRINGS[1])};
    return l;
}

POINT ControlBoxPlace(POINT anchor, SIZE box, const RECT& bar, long desktopRight) {
    POINT p = {anchor.x - box.cx + 1, anchor.y - box.cy + 1};
    if (IsRectEmpty(&bar)) return p;
    if (bar.top >= 1) {  // bottom edge
        long d = p.y + box.cy - bar.top;
        if (d > 0 && d < p.y) p.y -= d;
    } else if (bar.left >= 1) {  // right edge
        long d = p.x + box.cx - bar.left;
        if (d > 0 && d < p.x) p.x -= d;
    } else if (bar.right < desktopRight) {  // left edge
        if (bar.right > p.x) p.x = bar.right;
    } else if (bar.bottom > p.y) {  // top edge
        p.y = bar.bottom;
    }
    return p;
}

CONTROLBOXDLG::CONTROLBOXDLG(zWindow* parent, zSizer* sizer, POINT anchor, const BOOL connected[4])
    : zDialogFrame(parent, sizer, WS_POPUP, nullptr), lineState{}, boxPicture(nullptr), connectedPicture(nullptr),
      disconnectedPicture(nullptr), display(nullptr), panes{}, built(FALSE), cancelled(FALSE), captured(FALSE) {
    BOOL defined[4];
    for (int n = 1; n <= 4; ++n) defined[n - 1] = lineDefined(n);
    CONTROLBOXLAYOUT layout = ControlBoxLayout(_pSvr ? _pSvr->lines.lineCount : 1, defined);
    boxPicture = picture(layout.boxPicture, layout.boxFile);
    connectedPicture = picture(CONNECTED_PICTURE, CONNECTED_FILE);
    disconnectedPicture = picture(DISCONNECTED_PICTURE, DISCONNECTED_FILE);
    ShowWindow(hwnd, SW_HIDE);
    SIZE box = {94, 92};
    if (boxPicture) {
        zDimension d = boxPicture->size();
        box = {d.width, d.height};
    }
    RECT bar;
    if (!UIGetTaskBarRect(&bar)) SetRectEmpty(&bar);
    POINT at = ControlBoxPlace(anchor, box, bar, GetSystemMetrics(SM_CXSCREEN));
    SetWindowPos(hwnd, nullptr, at.x, at.y, box.cx - 1, box.cy - 1, SWP_NOZORDER | SWP_NOACTIVATE);
    SIZE pane = {40, 40};
    if (connectedPicture) {
        zDimension d = connectedPicture->size();
        pane = {d.width, d.height};
    }
    for (int i = 0; i < 4; ++i) {
        if (!layout.shown[i]) continue;
        POINT p = layout.pane[i];
        panes[i] = new zBitmapPane(this, (zBitmap*)nullptr, new zSizer(zRect(p.x, p.y, p.x + pane.cx, p.y + pane.cy)));
        SetWindowLongPtrA(panes[i]->hwnd, GWLP_ID, PANE_ID);
        panes[i]->show();
        setLineState(i + 1, connected[i]);
    }
    display = new zWinDisplay(this);
    built = TRUE;
}

CONTROLBOXDLG::~CONTROLBOXDLG() {
    for (zBitmapPane* p : panes)
        if (p) p->setBitmap(nullptr, 0, 0);
    delete display;
    delete boxPicture;
    delete connectedPicture;
    delete disconnectedPicture;
}

void CONTROLBOXDLG::setLineState(int line, BOOL state) {
    if (line < 1 || line > 4 || !panes[line - 1]) return;
    BOOL& recorded = lineState[line - 1];
    if (!built) {
        recorded = state;
    } else {
        if ((state != 0) == (recorded != 0)) return;
        if (switchLine(line, state)) recorded = state;
    }
    panes[line - 1]->setBitmap(recorded ? connectedPicture : disconnectedPicture, 0, 0);
    InvalidateRect(panes[line - 1]->hwnd, nullptr, TRUE);
}

void CONTROLBOXDLG::RunDialog() {
    SetCapture(hwnd);
    captured = TRUE;
    setHandler(this, zHandlerOf(&CONTROLBOXDLG::keyHandler), WM_KEYDOWN);
    show();
    SetFocus(hwnd);
    SetForegroundWindow(hwnd);
    modal();
    if (captured && GetCapture() == hwnd) ReleaseCapture();
    captured = FALSE;
}

void CONTROLBOXDLG::close() {
    if (isModal()) shutdown();
}

int CONTROLBOXDLG::mouseButtonDown(zMouseClickEvt* e) {
    POINT at = {e->x(), e->y()};
    for (int i = 0; i < 4; ++i) {
        if (!panes[i] || !panes[i]->hwnd) continue;
        RECT r;
        GetWindowRect(panes[i]->hwnd, &r);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
        // Edges inclusive: the window rectangle's right and bottom are one past.
        if (at.x < r.left || at.x > r.right - 1 || at.y < r.top || at.y > r.bottom - 1) continue;
        setLineState(i + 1, at.y <= (r.top + r.bottom - 1) / 2);
        break;
    }
    close();
    return 1;
}

int CONTROLBOXDLG::mouseButtonUp(zMouseClickEvt*) { return 1; }

int CONTROLBOXDLG::keyHandler(zEvent* e) {
    if (e->wParm == VK_ESCAPE) {
        cancelled = TRUE;
        close();
        return 1;
    }
    if (e->wParm == VK_RETURN) {
        close();
        return 1;
    }
    return 0;
}

// The active box's Escape and Enter arrive as Cancel and OK from the dialog keys.
int CONTROLBOXDLG::command(zCommandEvt* e) {
    unsigned id = e->cmd();
    if (id != IDOK && id != IDCANCEL) return zDialogFrame::command(e);
    if (id == IDCANCEL) cancelled = TRUE;
    close();
    return 1;
}

int CONTROLBOXDLG::activate(zActivateEvt* e) {
    if (LOWORD(e->wParm) != WA_INACTIVE) SetFocus(hwnd);
    return 1;
}

int CONTROLBOXDLG::background(zEvent* e) {
    if (!built || !boxPicture || !display) return zDialogFrame::background(e);
    HDC dc = (HDC)e->wParm;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, boxPicture->hbitmap());
    zDimension d = boxPicture->size();
    BitBlt(dc, 0, 0, d.width, d.height, source, 0, 0, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
    return 1;
}

void DisplayControlBox(FORMAPP* form, int x, int y) {
    SVRSYSTEM* svr = _pSvr;
    if (!svr || !form) return;
    NETWORKINTERFACE& lines = svr->lines;
    if (!lines.lines[0].IsLineConfigured() && !lines.lines[1].IsLineConfigured()) {
        if (YesNoMessageBox(form->windowHandle(), ServerText(IDS_CONFIGURE_TEXT), ServerText(IDS_CONFIGURE_CAPTION)))
            PostCmdMessage(form->windowHandle(), MENU_CONNECT_SETTINGS, 0);
        return;
    }
    if (form->controlBox) return;
    lines.CheckCommInterfaces(FALSE);
    BOOL connected[4];
    for (int i = 0; i < 4; ++i) connected[i] = lines.lines[i].connected;
    zWindow* parent = form->statusPane ? (zWindow*)form->statusPane : (zWindow*)form;
    CONTROLBOXDLG* box = new CONTROLBOXDLG(parent, new zSizer(zRect(10, 10, 10, 10)), POINT{x, y}, connected);
    form->controlBox = box;
    box->RunDialog();
    form->controlBox = nullptr;
    delete box;
}
