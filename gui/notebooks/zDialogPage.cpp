#include "zDialogPage.h"

#include <cstring>

#include "zApp.h"
#include "zButton.h"
#include "zDlgTemplate.h"
#include "zNotify.h"
#include "zSizer.h"
#include "ziTabNoteCtrl.h"

namespace {

// The window's class name, lower case.
std::string classOf(HWND h) {
    char cls[64] = "";
    GetClassNameA(h, cls, sizeof cls);
    for (char* p = cls; *p; ++p) *p = (char)tolower((unsigned char)*p);
    return cls;
}

bool isTabStop(zWindow* c) {
    return c->hwnd && IsWindowEnabled(c->hwnd) && (GetWindowLongA(c->hwnd, GWL_STYLE) & WS_TABSTOP);
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c; }

// The mnemonic of a text: the character after the first '&', upper case, or 0.
char mnemonicOf(HWND h) {
    char text[256] = "";
    GetWindowTextA(h, text, sizeof text);
    const char* amp = strchr(text, '&');
    return amp && amp[1] ? upper(amp[1]) : 0;
}

}  // namespace

void ziDropChar(HWND w, UINT message) {
    MSG m;
    PeekMessageA(&m, w, message, message, PM_REMOVE | PM_NOYIELD);
}

int ziIsEnabledButton(zWindow* b) { return b && b->hwnd && IsWindowEnabled(b->hwnd); }

void ziPressButton(zWindow* b) {
    if (!b || !b->hwnd) return;
    SetFocus(b->hwnd);
    PostMessageA(b->hwnd, BM_CLICK, 0, 0);
}

// ---- page definitions ---------------------------------------------------------

zPageDef::zPageDef(const zResId& res, int id)
    : reader(new ziDialogReader(_app ? _app->mainFrame : nullptr, res)), tabId(id) {}

zPageDef::zPageDef(zDialogPage* p, int id) : tabId(id), page(p) {}

zPageDef::~zPageDef() { delete reader; }

int zPageDef::decoded() const { return reader && reader->status == 0; }

const char* zPageDef::caption() const { return decoded() ? reader->title.data() : ""; }

void zPageDef::setPage(zDialogPage* p) {
    page = p;
    if (!reader || !p) return;
    reader->decodeHeader(p);
    if (!decoded()) return;
    setCaption(reader->title.data());
    // The page keeps a font its resource names; without one it keeps the strip's.
    if (reader->fontFromTemplate()) p->setFont(reader->takeFont(), 0);
}

void zPageDef::load(zDialogPage* p) {
    if (!decoded() || !p) return;
    setCaption(reader->title.data());
    if (reader->fontFromTemplate()) p->setFont(reader->takeFont(), 0);
    reader->createChildren();
}

void zPageDef::setCaption(const char* text) {
    if (!page) return;
    if (ziTabNoteCtrl* t = page->tabControl()) t->changeTabText(tabId, text);
}

unsigned long zPageDef::getStyle() const {
    if (!decoded()) return 0;
    return (reader->style & 0x7F33FFFFUL) | WS_CHILD;
}

// ---- pages --------------------------------------------------------------------

zDialogPage::zDialogPage(ziPageHost* dialog, zPageDef* def, unsigned long style)
    : zPaneControl(dialog ? (zWindow*)dialog->tabControl() : nullptr, new zGravSizer(zGravTopLeft, zDimension(0, 0)),
                   style | 0x10400, nullptr, 0),
      host(dialog) {
    if (parentWin && parentWin->sizer) parentWin->sizer->append(sizer);
    className = "DialogFrameCL";
    zPane::ziBackgroundColor(zColor::system(COLOR_BTNFACE));
    if (parentWin && parentWin->font) setFont(parentWin->font, 0);
    if (def) {
        def->setPage(this);
        def->load(this);
    }
    show(0);
}

ziTabNoteCtrl* zDialogPage::tabControl() const { return host ? host->tabControl() : nullptr; }

int zDialogPage::dispatch(zEvent* e) {
    if (e->msg == WM_SHOWWINDOW) ziHandleTabs(e->wParm != 0);
    else if (e->msg == WM_GETDLGCODE) return 3;
    return zPaneControl::dispatch(e);
}

void zDialogPage::ziHandleTabs(int on) {
    NotifyProc fn = zHandlerOf(&zDialogPage::ziKeyDown);
    ziEachChild(this, [&](zWindow* c) {
        for (UINT m : {(UINT)WM_KEYDOWN, (UINT)WM_SYSKEYDOWN}) {
            // Never twice: a second show must not stack another record.
            c->removeHandler(this, fn, m);
            if (on) c->setHandler(this, fn, m);
        }
        return true;
    });
}

int zDialogPage::size(zSizeEvt*) {
    for (zWindow* c : children)
        if (c->hwnd) InvalidateRect(c->hwnd, nullptr, TRUE);
    return 0;
}

int zDialogPage::command(zCommandEvt* e) {
    // The dialog's command handlers take the page controls' commands.
    return parentWin ? parentWin->command(e) : 0;
}

int zDialogPage::mouseButtonDown(zMouseClickEvt* e) { return zWindow::mouseButtonDown(e); }

int zDialogPage::focus(zFocusEvt* e) {
    if (e->msg != WM_SETFOCUS) return zPane::focus(e);
    zWindow* target = nullptr;
    for (zWindow* c : children)
        if (isTabStop(c)) {
            target = c;
            break;
        }
    if (!target && !children.empty()) target = children.front();
    if (target && target->hwnd) SetFocus(target->hwnd);
    return 1;
}

int zDialogPage::invalidData(zWindow* ctrl) {
    if (ctrl == this) return 0;
    ziTabNoteCtrl* t = tabControl();
    if (t && (!t->current() || t->current()->page != this))
        for (zPageDef* d : t->defs)
            if (d->page == this) {
                t->select(d);
                break;
            }
    if (ctrl && ctrl->hwnd) SetFocus(ctrl->hwnd);
    return 1;
}

zWindow* zDialogPage::focusedChild() const {
    HWND f = GetFocus();
    while (f && hwnd && GetParent(f) != hwnd) f = GetParent(f);
    if (!f) return nullptr;
    for (zWindow* c : children)
        if (c->hwnd == f) return c;
    return nullptr;
}

int zDialogPage::ziKeyDown(zEvent* e) {
    zWindow* focused = focusedChild();
    bool inside = focused != nullptr;
    size_t n = children.size();
    size_t at = 0;
    if (inside)
        for (size_t i = 0; i < n; ++i)
            if (children[i] == focused) at = i;
    zButton* apply = host ? host->keyApplyButton() : nullptr;

    if (e->msg == WM_SYSKEYDOWN) {
        char key = upper((char)(e->wParm & 0xFF));
        // One pass from after the focused control round to it.
        for (size_t k = 0; k < n; ++k) {
            size_t i = inside ? (at + 1 + k) % n : k;
            zWindow* c = children[i];
            if (!c->hwnd || !IsWindowEnabled(c->hwnd)) continue;
            std::string cls = classOf(c->hwnd);
            if (cls == "edit" || mnemonicOf(c->hwnd) != key) continue;
            zWindow* target = c;
            if (cls == "static" && (GetWindowLongA(c->hwnd, GWL_STYLE) & WS_GROUP)) {
                if (i + 1 >= n) break;
                target = children[i + 1];
            }
            ziDropChar(e->hwnd, WM_SYSCHAR);
            if (target->hwnd) SetFocus(target->hwnd);
            std::string tcls = classOf(target->hwnd);
            if (tcls == "button") PostMessageA(target->hwnd, BM_CLICK, 0, 0);
            else if (tcls == "edit") SendMessageA(target->hwnd, EM_SETSEL, 0, -1);
            return 1;
        }
        if (key == 'A' && ziIsEnabledButton(apply)) {
            ziDropChar(e->hwnd, WM_SYSCHAR);
            ziPressButton(apply);
            return 1;
        }
        return 0;
    }
    switch (e->wParm) {
    case VK_TAB: {
        ziDropChar(e->hwnd, WM_CHAR);
        bool back = GetKeyState(VK_SHIFT) < 0;
        zWindow* to = nullptr;
        if (!back) {
            for (size_t i = inside ? at + 1 : 0; i < n && !to; ++i)
                if (isTabStop(children[i])) to = children[i];
            if (!to && inside) to = host ? host->keyTabOutButton() : nullptr;
        } else {
            for (size_t i = inside ? at : n; i > 0 && !to; --i)
                if (isTabStop(children[i - 1])) to = children[i - 1];
            if (!to && host) to = host->keyBackTabOutButton();
        }
        if (to && to->hwnd) SetFocus(to->hwnd);
        return 1;
    }
    case VK_RETURN:
        ziDropChar(e->hwnd, WM_CHAR);
        if (host) ziPressButton(host->keyEnterButton());
        return 1;
    case VK_ESCAPE:
        ziDropChar(e->hwnd, WM_CHAR);
        if (host) ziPressButton(host->keyEscapeButton());
        return 1;
    default:
        return 0;
    }
}
