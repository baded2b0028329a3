#include "zTabCtrl.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "zDisplay.h"
#include "zFont.h"
#include "zNotify.h"
#include "zRegion.h"
#include "zSizer.h"
#include "zString.h"

namespace {

// A pen selected for one run of lines, deleted when the run ends (stock pens are not).
class PenRun {
public:
    PenRun(HDC dc, COLORREF c) : dc_(dc), own_(CreatePen(PS_SOLID, 0, c)) { old_ = SelectObject(dc_, own_); }
    PenRun(HDC dc, int stock) : dc_(dc), own_(0) { old_ = SelectObject(dc_, GetStockObject(stock)); }
    ~PenRun() {
        SelectObject(dc_, old_);
        if (own_) DeleteObject(own_);
    }
    PenRun(const PenRun&) = delete;
    PenRun& operator=(const PenRun&) = delete;
    void line(int x0, int y0, int x1, int y1) const {
        MoveToEx(dc_, x0, y0, nullptr);
        LineTo(dc_, x1, y1);
    }
    void to(int x1, int y1) const { LineTo(dc_, x1, y1); }

private:
    HDC dc_;
    HPEN own_;
    HGDIOBJ old_;
};

COLORREF face() { return GetSysColor(COLOR_BTNFACE); }
COLORREF shadow() { return GetSysColor(COLOR_BTNSHADOW); }

bool meets(const zRect& a, const zRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

zRect tabRect(const zTab* t, int extraHeight = 0) {
    // Outlines reach x + width and y + height, so those pixels count.
    return zRect(t->x, t->y, t->x + t->width + 1, t->y + t->height + 1 + extraHeight);
}

}  // namespace

// ---- tabs -----------------------------------------------------------------------

zTab::zTab(zTabCtrl* o, int i, const ZKCString& t) : owner(o), text(t), id(i) { setDimFromString(); }

zTab::zTab(zTabCtrl* o, int i) : owner(o), id(i) { setDimFromString(); }

void zTab::setText(const char* t) {
    text = ZKCString(t ? t : "");
    setDimFromString();
}

void zTab::setDimFromString() {
    zDisplay* d = owner ? owner->canvas() : nullptr;
    if (!d) return;
    const char* s = text.length() ? text.data() : "Empty";
    zDimension dim = d->getTextDim(s, (int)strlen(s));
    width = dim.width + 14 + (owner->isTrapezoid() ? 2 : 0);
    height = dim.height + dim.height / 2;
}

void zTab::draw() {
    zDisplay* d = owner ? owner->canvas() : nullptr;
    if (!d) return;
    d->lock();
    if (d->hdc()) {
        drawTab();
        drawTabContents();
    }
    d->unlock();
    dirty = 0;
}

void zTab::drawTab() {
    HDC dc = owner->canvas()->hdc();
    int w = width, h = height;
    if (!owner->isTrapezoid()) {
        int d = 3;
        if (selected) {
            x -= 2, width += 2, y -= 2, height += 2;
            w = width, h = height, d = 0;
        }
        {
            PenRun pen(dc, face());
            HBRUSH brush = CreateSolidBrush(face());
            HGDIOBJ oldBrush = SelectObject(dc, brush);
            POINT p[6] = {{x + w - 1, y + 1 - d}, {x + w - 1, y + h}, {x, y + h},
                          {x, y + 2 - d},         {x + 2, y + 1 - d}, {x + w - 1, y + 1 - d}};
            Polygon(dc, p, 6);
            SelectObject(dc, oldBrush);
            DeleteObject(brush);
            // The corner a larger selected tab left behind.
            pen.line(x - 2, y, x + 1, y - 3);
        }
        PenRun(dc, shadow()).line(x + w - 1, y + 1, x + w - 1, y + h);
        {
            PenRun white(dc, WHITE_PEN);
            if (selected) {
                MoveToEx(dc, x, y + h, nullptr);
            } else {
                white.line(x + w, y + h, x, y + h);
            }
            white.to(x, y + 2);
            white.to(x + 2, y);
            white.to(x + w - 1, y);
        }
        {
            PenRun black(dc, BLACK_PEN);
            black.line(x + w - 1, y + 1, x + w, y + 2);
            black.to(x + w, y + h);
        }
        if (selected) x += 2, width -= 2, y += 2, height -= 2;
        return;
    }
    int s = h / 3;
    POINT p[5] = {{x, y + 1}, {x + s, y + h}, {x + w - s, y + h}, {x + w, y + 1}, {x, y + 1}};
    {
        HBRUSH brush = CreateSolidBrush(selected ? face() : RGB(255, 255, 255));
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        PenRun pen(dc, selected ? face() : RGB(0, 0, 0));
        Polygon(dc, p, 5);
        SelectObject(dc, oldBrush);
        DeleteObject(brush);
    }
    if (selected) {
        {
            PenRun black(dc, BLACK_PEN);
            Polyline(dc, p, 4);
        }
        PenRun(dc, WHITE_PEN).line(x + 1, y + 1, x + s + 1, y + h);
        PenRun sh(dc, shadow());
        sh.line(x + s + 1, y + h - 1, x + w - s - 1, y + h - 1);
        sh.to(x + w - 1, y + 1);
    }
    PenRun(dc, selected ? face() : shadow()).line(x, y, x + w + 1, y);
}

void zTab::drawTabContents() {
    if (!text.length()) return;
    HDC dc = owner->canvas()->hdc();
    int s = selected ? 1 : 0;
    if (!owner->isTrapezoid()) {
        TextOutA(dc, x + 7 - s, y + height / 4 - 1 - s, text.data(), (int)text.length());
        return;
    }
    COLORREF oldBack = SetBkColor(dc, selected ? face() : RGB(255, 255, 255));
    COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    TextOutA(dc, x + 9, y + height / 4 - 1 + s, text.data(), (int)text.length());
    SetBkColor(dc, oldBack);
    SetTextColor(dc, oldText);
}

// ---- control --------------------------------------------------------------------

zTabCtrl::zTabCtrl(zWindow* parent, zSizer* s, unsigned long style, const char* title, int id)
    : zPaneControl(parent, s, style | WS_TABSTOP, title, id), tabStyle(style & 0xFF) {
    ziSetup();
}

zTabCtrl::zTabCtrl(zWindow* parent, int id) : zPaneControl(parent, id) {
    zTabCtrl* old = dynamic_cast<zTabCtrl*>(prevObject);
    if (!old) {
        ziSetup();
        return;
    }
    // The previous object's sizers sit in the sizer this control took over, and its
    // font on the display it handed on: adopt them with the tabs.
    tabStyle = old->tabStyle;
    boundAddr = old->boundAddr;
    bindKind = old->bindKind;
    slant = old->slant;
    current = old->current;
    area = old->area;
    firstOffset = old->firstOffset;
    tabs.swap(old->tabs);
    ownedTabs.swap(old->ownedTabs);
    for (zTab* t : tabs) t->owner = this;
    marginBottom = old->marginBottom, marginTop = old->marginTop;
    marginLeft = old->marginLeft, marginRight = old->marginRight;
    strip = old->strip, tabArea = old->tabArea, band = old->band;
    tabFont = old->tabFont;
    old->marginBottom = old->marginTop = old->marginLeft = old->marginRight = nullptr;
    old->strip = old->tabArea = old->band = nullptr;
    old->tabFont = nullptr;
    old->current = nullptr;
    if (handlers) handlers->removeFirstIdent(WM_KEYDOWN, old, zHandlerOf(&zTabCtrl::doKeyboard));
    setHandler(this, zHandlerOf(&zTabCtrl::doKeyboard), WM_KEYDOWN);
    if (!tabFont) ziSetup();
}

void zTabCtrl::ziSetup() {
    boundAddr = nullptr;
    bindKind = 0;
    slant = 0;
    tabs.clear();
    current = nullptr;
    area = zRect();
    if (!sizer) setSizer(new zSizer());
    bool trap = isTrapezoid();
    firstOffset = trap ? 8 : 3;
    strip = new zGravSizer(trap ? zGravBottom : zGravTop, 0, sizer);
    band = new zGravSizer(zGravRight, zDimension(3, 0), strip);
    tabArea = new zGravSizer(zGravTopLeft, zDimension(0, 0), strip);
    tabFont = new zFont("MS Sans Serif", zPrPoint(0, -80));
    if (curDisplay) curDisplay->pushFont(tabFont);
    // Pages without a font of their own take the strip's; the control keeps it.
    if (stateFlags & zWinOwnsFont) delete font;
    stateFlags &= ~zWinOwnsFont;
    font = tabFont;
    zPane::ziBackgroundColor(zColor::system(COLOR_BTNFACE));
    setHandler(this, zHandlerOf(&zTabCtrl::doKeyboard), WM_KEYDOWN);
    // The window was sized before the strip existed.
    if (hwnd) setMetrics();
}

zTabCtrl::~zTabCtrl() {
    // Pages and other children go while the font they share still exists.
    stateFlags &= ~zWinDeleteOnDestroy;
    while (!children.empty()) {
        zWindow* c = children.back();
        children.pop_back();
        c->parentWin = nullptr;
        delete c;
    }
    if (font == tabFont) font = nullptr;
    removeHandler(this, zHandlerOf(&zTabCtrl::doKeyboard), WM_KEYDOWN);
    if (tabFont && curDisplay && curDisplay->font() == tabFont) curDisplay->popFont();
    delete tabFont;
    tabFont = nullptr;
    tabs.clear();
    for (zTab* t : ownedTabs) delete t;
    ownedTabs.clear();
    for (zGravSizer* s : {marginBottom, marginTop, marginLeft, marginRight, tabArea, band, strip}) delete s;
}

zTab* zTabCtrl::find(int id) const {
    for (zTab* t : tabs)
        if (t->id == id) return t;
    return nullptr;
}

void zTabCtrl::placeTab(zTab* tab) {
    tab->x = tabs.empty() ? firstOffset : tabs.back()->x + tabs.back()->width + 1;
    tab->y = area.bottom - tab->height - 1;
}

void zTabCtrl::appendTab(zTab* tab) {
    if (!tab) return;
    placeTab(tab);
    tabs.push_back(tab);
    if (curDisplay) curDisplay->setDirty(area);
}

void zTabCtrl::removeTab(int id) {
    if (zTab* t = find(id)) removeTab(t);
}

void zTabCtrl::removeTab(zTab* tab) {
    auto it = std::find(tabs.begin(), tabs.end(), tab);
    if (it == tabs.end()) return;
    tabs.erase(it);
    if (current == tab) current = nullptr;
    std::vector<zTab*> rest;
    rest.swap(tabs);
    for (zTab* t : rest) appendTab(t);
}

void zTabCtrl::changeTabText(int id, const char* text) {
    for (zTab* t : tabs) {
        if (t->id != id) continue;
        t->setText(text);
        resetTabsPos();
        if (curDisplay) curDisplay->setDirty(area);
    }
}

void zTabCtrl::createAndAppendTabs(char** texts, int* ids, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        zTab* t = new zTab(this, ids[i], ZKCString(texts[i]));
        ownTab(t);
        appendTab(t);
    }
}

void zTabCtrl::createAndAppendTabs(zResStrBlock& block) {
    while (const char* s = block()) {
        const char* space = strchr(s, ' ');
        if (!space) continue;
        zTab* t = new zTab(this, (int)atol(s), ZKCString(space + 1));
        ownTab(t);
        appendTab(t);
    }
}

void zTabCtrl::select(int id) {
    if (zTab* t = find(id)) select(t);
}

void zTabCtrl::select(zTab* tab) {
    if (!tab) return;
    int oldId = current ? current->id : 0;
    if (!onAllowPageChange(tab->id, oldId)) return;
    if (tab == current) return;
    if (current) {
        current->selected = 0;
        current->dirty = 1;
        if (isTrapezoid()) {
            for (zTab* t : tabs) t->dirty = 1;
        } else {
            // The selected tab reaches 2 pixels to the left, over its neighbour.
            auto it = std::find(tabs.begin(), tabs.end(), current);
            zTab* before = (it != tabs.end() && it != tabs.begin()) ? *(it - 1) : nullptr;
            if (before && !before->isEmptyRect()) before->dirty = 1;
            else if (curDisplay) curDisplay->setDirty(zRect(area.left, area.top, area.left + 7, area.bottom));
        }
    }
    tab->selected = 1;
    tab->dirty = 1;
    current = tab;
    draw(nullptr);
    onPageChange(tab->id, oldId);
    postNotification(zTabSelChange);
}

void zTabCtrl::setupMargins(int left, int top, int right, int bottom) {
    if (!sizer) return;
    if (left) marginLeft = new zGravSizer(zGravLeft, left, sizer);
    if (top) marginTop = new zGravSizer(zGravTop, top, sizer);
    if (right) marginRight = new zGravSizer(zGravRight, right, sizer);
    if (bottom) marginBottom = new zGravSizer(zGravBottom, bottom, sizer);
}

void zTabCtrl::setStoreAddr(int* idAddr) {
    boundAddr = idAddr;
    bindKind = idAddr ? 1 : 0;
}

void zTabCtrl::setStoreAddr(zTab** tabAddr) {
    boundAddr = tabAddr;
    bindKind = tabAddr ? 2 : 0;
}

int zTabCtrl::setToDefault() {
    if (bindKind == 1) select(*static_cast<int*>(boundAddr));
    else if (bindKind == 2) select(*static_cast<zTab**>(boundAddr));
    return 1;
}

int zTabCtrl::storeData() {
    if (bindKind == 1) *static_cast<int*>(boundAddr) = current ? current->id : 0;
    else if (bindKind == 2) *static_cast<zTab**>(boundAddr) = current;
    else return 0;
    return 1;
}

int zTabCtrl::size(zSizeEvt*) {
    setMetrics();
    if (hwnd) InvalidateRect(hwnd, nullptr, TRUE);
    return 1;
}

void zTabCtrl::setMetrics() {
    if (!curDisplay || !strip) return;
    curDisplay->lock();
    zDimension d = curDisplay->getTextDim("zApp is the Best", 16);
    int h = d.height + GetSystemMetrics(SM_CYCAPTION) - 7;
    strip->fixed(zDimension(strip->fixed().width, h));
    band->fixed(zDimension(3, h));
    if (sizer) sizer->update(nullptr);
    zPoint p = tabArea->pos();
    zDimension e = tabArea->dimension();
    area = zRect(p.x, p.y, p.x + e.width, p.y + e.height);
    resetTabsPos();
    curDisplay->unlock();
}

void zTabCtrl::resetTabsPos() {
    zTab* prev = nullptr;
    for (zTab* t : tabs) {
        t->setDimFromString();
        slant = t->height / 3;
        t->x = prev ? prev->x + prev->width + 1 - (isTrapezoid() ? slant : 0) : firstOffset;
        t->y = isTrapezoid() ? area.top : area.bottom - t->height - 1;
        prev = t;
    }
}

zTab* zTabCtrl::lastVisTab() const {
    for (zTab* t : tabs)
        if (t->x + t->width > area.right) return t;
    return tabs.empty() ? nullptr : tabs.back();
}

int zTabCtrl::doTabsFit() const {
    int sum = 0;
    for (zTab* t : tabs) sum += t->width - (isTrapezoid() ? 5 : 0);
    int stripWidth = strip ? strip->dimension().width : 0;
    return sum - 2 < stripWidth - 3 - firstOffset;
}

int zTabCtrl::mouseButtonDown(zMouseClickEvt* e) {
    if (!e->isButton(1)) return 0;
    int px = e->x(), py = e->y();
    if (px < area.left || px > area.right || py < area.top || py > area.bottom) return 0;
    for (zTab* t : tabs) {
        if (!t->holds(px, py)) continue;
        select(t);
        if (hwnd) SetFocus(hwnd);
        return 1;
    }
    return 0;
}

int zTabCtrl::doKeyboard(zEvent* e) {
    if (tabs.size() < 2 || !current) return 0;
    auto it = std::find(tabs.begin(), tabs.end(), current);
    if (it == tabs.end()) return 0;
    if (e->wParm == VK_LEFT && it != tabs.begin()) {
        select(*(it - 1));
        return 1;
    }
    if (e->wParm == VK_RIGHT && it + 1 != tabs.end()) {
        select(*(it + 1));
        return 1;
    }
    return 0;
}

int zTabCtrl::draw(zDrawEvt*) {
    if (!curDisplay) return 1;
    curDisplay->lock();
    zRect dirty, visible;
    curDisplay->getDirty(dirty);
    curDisplay->getVisible(visible);
    if (curDisplay->hdc()) {
        if (isTrapezoid()) drawTrapBottom(dirty, visible);
        else drawSquareTop(dirty, visible);
    }
    curDisplay->unlock();
    return 1;
}

void zTabCtrl::drawSquareTop(const zRect& dirty, const zRect& v) {
    HDC dc = curDisplay->hdc();
    int stripRight = strip ? strip->pos().x + strip->dimension().width : area.right;
    zTab* last = lastVisTab();
    bool overflow = last && last->x + last->width > area.right;
    zRect areaRect(area.left, area.top, area.right, area.bottom);
    if (meets(dirty, areaRect)) {
        PenRun white(dc, WHITE_PEN);
        int y = area.bottom - 1;
        white.line(area.left, y, tabs.empty() ? area.right - 1 : tabs.front()->x, y);
        int from = !last ? area.left : overflow ? area.right : last->x + last->width;
        white.line(from, y, stripRight - 1, y);
    }
    zRectRegion clip(areaRect);
    SelectClipRgn(dc, clip.hrgn());
    COLORREF oldBack = SetBkColor(dc, face());
    for (zTab* t : tabs)
        if (meets(tabRect(t), dirty) || (t->dirty && meets(tabRect(t), areaRect))) t->draw();
    SetBkColor(dc, oldBack);
    SelectClipRgn(dc, nullptr);
    if (overflow) {
        int r = area.right;
        PenRun sh(dc, shadow());
        sh.line(r + 2, last->y, r + 3, last->y + last->height / 4 + 1);
        sh.to(r + 1, last->y + last->height / 2 + 1);
        sh.to(r + 3, last->y + last->height - last->height / 5);
        sh.to(r + 2, last->y + last->height - 1);
    }
    int b = area.bottom;
    if (meets(dirty, zRect(v.left, b, v.left + 1, v.bottom)))
        PenRun(dc, WHITE_PEN).line(v.left, v.bottom, v.left, b - 1);
    if (meets(dirty, zRect(v.right - 2, b, v.right, v.bottom))) {
        PenRun(dc, BLACK_PEN).line(v.right - 1, b, v.right - 1, v.bottom - 1);
        PenRun(dc, shadow()).line(v.right - 2, b + 1, v.right - 2, v.bottom - 2);
    }
    if (meets(dirty, zRect(v.left, v.bottom - 2, v.right, v.bottom)))
        PenRun(dc, BLACK_PEN).line(v.right - 1, v.bottom - 1, v.left, v.bottom - 1);
}

void zTabCtrl::drawTrapBottom(const zRect& dirty, const zRect& v) {
    HDC dc = curDisplay->hdc();
    int stripRight = strip ? strip->pos().x + strip->dimension().width : area.right;
    zTab* last = lastVisTab();
    bool overflow = last && last->x + last->width > area.right;
    zRect areaRect(area.left, area.top, area.right, area.bottom);
    if (meets(dirty, areaRect)) {
        int firstX = tabs.empty() ? area.right - 1 : tabs.front()->x;
        int from = !last ? area.left : overflow ? area.right : last->x + last->width;
        {
            PenRun black(dc, BLACK_PEN);
            black.line(area.left, area.top + 1, firstX, area.top + 1);
            black.line(from, area.top + 1, stripRight - 1, area.top + 1);
        }
        PenRun sh(dc, shadow());
        sh.line(area.left + 1, area.top, firstX, area.top);
        sh.line(from, area.top, stripRight - 1, area.top);
    }
    zRectRegion clip(areaRect);
    SelectClipRgn(dc, clip.hrgn());
    COLORREF oldBack = SetBkColor(dc, face());
    zTab* selectedLate = nullptr;
    for (auto it = tabs.rbegin(); it != tabs.rend(); ++it) {
        zTab* t = *it;
        if (!(meets(tabRect(t, 1), dirty) || (t->dirty && meets(tabRect(t, 1), areaRect)))) continue;
        if (t->selected) selectedLate = t;
        else t->draw();
    }
    // The selected tab lies over both neighbours.
    if (selectedLate) selectedLate->draw();
    SetBkColor(dc, oldBack);
    SelectClipRgn(dc, nullptr);
    int t = area.top;
    if (meets(dirty, zRect(v.left, v.top + 5, v.left + 1, t + 1)))
        PenRun(dc, WHITE_PEN).line(v.left, v.top + 5, v.left, t + 1);
    if (meets(dirty, zRect(v.right - 2, v.top + 5, v.right, t + 1))) {
        PenRun(dc, BLACK_PEN).line(v.right - 1, v.top + 5, v.right - 1, t + 1);
        PenRun(dc, shadow()).line(v.right - 2, v.top + 6, v.right - 2, t);
    }
    if (meets(dirty, zRect(v.left, v.top + 5, v.right, v.top + 7)))
        PenRun(dc, WHITE_PEN).line(v.right - 1, v.top + 5, v.left, v.top + 5);
}

zChildWin* zCtrlBldzTabCtrl(zWindow* parent, zSizer* sizer, unsigned long style, const char* title, int id) {
    return new zTabCtrl(parent, sizer, style, title, id);
}
