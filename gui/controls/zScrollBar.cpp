#include "zScrollBar.h"

// A scroll-bar control is addressed with SB_CTL whatever its direction: the
// horizontal and vertical bar types only reach a window's own bars, and the
// thumb of the control would never move with them.

void zScrollBarBase::setState(zScrollInfo* s, unsigned long flag) {
    delete vScroll;
    vScroll = s;
    ctlKindFlags = (ctlKindFlags & ~(zCtlFlagVertBar | zCtlFlagHorzBar | zCtlFlagCtlBar)) | zCtlFlagScrollBar | flag;
}

zScrollBarBase::zScrollBarBase(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zControl(parent, s, (style ? style : WS_TABSTOP) | WS_CHILD | WS_VISIBLE, text, id) {
    kind = zCtlScrollBar;
    className = "scrollbar";
    setState(new zScrollInfoCtl(this), 0);
}

zScrollBarBase::zScrollBarBase(zWindow* parent, int id) : zControl(parent, id) {
    // The plain object's state (if any) came along; the typed one starts afresh.
    kind = zCtlScrollBar;
    setState(new zScrollInfoCtl(this), 0);
}

zScrollBarVert::zScrollBarVert(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zScrollBarBase(parent, s, style | SBS_VERT, text, id) {
    setState(new zScrollInfoCtl(this), zCtlFlagVertBar);
    create();
}

zScrollBarVert::zScrollBarVert(zWindow* parent, int id) : zScrollBarBase(parent, id) {
    setState(new zScrollInfoCtl(this), zCtlFlagVertBar);
}

zScrollBarHorz::zScrollBarHorz(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zScrollBarBase(parent, s, style | SBS_HORZ, text, id) {
    setState(new zScrollInfoCtl(this), zCtlFlagHorzBar);
    create();
}

zScrollBarHorz::zScrollBarHorz(zWindow* parent, int id) : zScrollBarBase(parent, id) {
    setState(new zScrollInfoCtl(this), zCtlFlagHorzBar);
}

zScrollBarCtrl::zScrollBarCtrl(zWindow* parent, zSizer* s, unsigned long style, const char* text, int id)
    : zScrollBarBase(parent, s, style, text, id) {
    setState(new zScrollInfoCtl(this), zCtlFlagCtlBar);
    create();
}

zScrollBarCtrl::zScrollBarCtrl(zWindow* parent, int id) : zScrollBarBase(parent, id) {
    setState(new zScrollInfoCtl(this), zCtlFlagCtlBar);
}
