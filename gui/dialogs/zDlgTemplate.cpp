#include "zDlgTemplate.h"

#include <cstring>
#include <string>

#include "ByteOrder.h"
#include "zApp.h"
#include "zButton.h"
#include "zControl.h"
#include "zDialogFrame.h"
#include "zEdit.h"
#include "zFont.h"
#include "zListBox.h"
#include "zScrollBar.h"
#include "zSizer.h"

zControlTypeDlist* _zctd = nullptr;

namespace {

const size_t kTitleMax = 999;
const size_t kClassMax = 199;

void trace(const char* what) {
    OutputDebugStringA(what);
    _debug("%s", what);
}

}  // namespace

// ---- dialog units ------------------------------------------------------------

int zDialogUnit::averageWidth(int extent) { return extent / 52 + (extent % 52 > 25 ? 1 : 0); }

int zDialogUnit::toPixelsX(int avg, int units) {
    int v = avg * units;
    return v / 4 + (v % 4 > 1 ? 1 : 0);
}

int zDialogUnit::toPixelsY(int height, int units) {
    int v = height * units;
    return v / 8 + (v % 8 > 3 ? 1 : 0);
}

void zDialogUnit::measure(zDisplay* d) {
    measured_ = true;
    if (!d) return;
    bool locked = false;
    if (!d->hdc()) {
        d->lock();
        locked = true;
    }
    HDC dc = d->hdc();
    if (dc) {
        SIZE sz = {0, 0};
        GetTextExtentPointA(dc, measureString(), 52, &sz);
        avg_ = averageWidth(sz.cx);
        TEXTMETRICA tm;
        memset(&tm, 0, sizeof tm);
        GetTextMetricsA(dc, &tm);
        height_ = tm.tmHeight + tm.tmExternalLeading;
    }
    if (locked) d->unlock();
}

void zDialogUnit::setLogX(int value, zDisplay* d) {
    mx = value;
    if (!d) {
        lx = (int)LOWORD(GetDialogBaseUnits()) * value / 4;
        return;
    }
    if (!measured_) measure(d);
    lx = toPixelsX(avg_, value);
}

void zDialogUnit::setLogY(int value, zDisplay* d) {
    my = value;
    if (!d) {
        ly = (int)HIWORD(GetDialogBaseUnits()) * value / 8;
        return;
    }
    if (!measured_) measure(d);
    ly = toPixelsY(height_, value);
}

zDialogUnit::zDialogUnit(int x, int y, zDisplay* d) {
    setLogX(x, d);
    setLogY(y, d);
}

zDialogUnit::zDialogUnit(int x, int y, zFont* f) {
    if (!f) {
        setLogX(x, nullptr);
        setLogY(y, nullptr);
        return;
    }
    ziInfoDisplay info;
    info.pushFont(f);
    info.lock();
    setLogX(x, &info);
    setLogY(y, &info);
    info.unlock();
    info.popFont();
}

// ---- registered control types ------------------------------------------------------

zControlType::zControlType(const char* name, zControlBuilder builder) : name_(name), builder_(builder) {
    if (!_zctd) _zctd = new zControlTypeDlist;
    _zctd->append(this);
}

zControlType::~zControlType() {
    if (_zctd) _zctd->findAndRemove(this);
}

zChildWin* zControlType::buildNew(zWindow* parent, zSizer* sizer, unsigned long style, const char* text,
                                  int id) const {
    return builder_ ? builder_(parent, sizer, style, text, id) : nullptr;
}

zControlType* zControlType::find(const char* name) {
    if (!_zctd || !name) return nullptr;
    zDListIter it(_zctd);
    while (void* item = it()) {
        zControlType* t = static_cast<zControlType*>(item);
        if (t->name_ && _stricmp(t->name_, name) == 0) return t;
    }
    return nullptr;
}

// ---- the reader ----------------------------------------------------------------------

ziDialogReader::ziDialogReader(zWindow* w, const zResId& res) : window(w), resource(res) {
    style = 0;
    // Without a window the resource is only loaded; decodeHeader(target) reads it later.
    if (getResource() && window) decodeHeader();
    if (!font && window) font = window->font ? window->font : (window->parentWin ? window->parentWin->font : nullptr);
}

ziDialogReader::~ziDialogReader() {
    if (ownsFont_) delete font;
    font = nullptr;
    freeResource();
}

zFont* ziDialogReader::takeFont() {
    ownsFont_ = 0;
    return font;
}

int ziDialogReader::getResource() {
    module = resource.acquireModule(&loadedByName_);
    HRSRC r = module ? FindResourceA(module, resource.id(), RT_DIALOG) : 0;
    if (!r && !resource.moduleName() && !resource.moduleHandle() && _app && _app->hInst != module)
        r = FindResourceA(module = _app->hInst, resource.id(), RT_DIALOG);
    if (!r) {
        freeResource();
        return 0;
    }
    resHandle = LoadResource(module, r);
    tmpl = resHandle ? static_cast<const unsigned char*>(LockResource(resHandle)) : nullptr;
    if (!tmpl) {
        freeResource();
        return 0;
    }
    end_ = tmpl + SizeofResource(module, r);
    readPos = tmpl;
    return 1;
}

void ziDialogReader::freeResource() {
    if (resHandle) FreeResource(resHandle);
    resHandle = 0;
    tmpl = readPos = end_ = nullptr;
    if (loadedByName_ && module) FreeLibrary(module);
    loadedByName_ = false;
    module = 0;
}

unsigned ziDialogReader::readWord() {
    if (!readPos || readPos + 2 > end_) {
        overrun_ = true;
        readPos = end_;
        return 0;
    }
    unsigned v = GetLe16(readPos);
    readPos += 2;
    return v;
}

unsigned long ziDialogReader::readDword() {
    unsigned long lo = readWord();
    unsigned long hi = readWord();
    return lo | (hi << 16);
}

void ziDialogReader::adjustAlign() {
    if (!readPos) return;
    size_t off = (size_t)(readPos - tmpl);
    size_t pad = (4 - off % 4) % 4;
    readPos = (size_t)(end_ - readPos) >= pad ? readPos + pad : end_;
}

ZKCString ziDialogReader::readString(size_t limit) {
    // Runs to the terminating zero word: a character such as U+0100 does not end it.
    std::wstring w;
    for (;;) {
        if (!readPos || readPos + 2 > end_) {
            overrun_ = true;
            readPos = end_;
            break;
        }
        wchar_t c = (wchar_t)GetLe16(readPos);
        readPos += 2;
        if (c == 0) break;
        if (w.size() < limit) w.push_back(c);
    }
    if (w.empty()) return ZKCString();
    char buf[1000];
    int n = WideCharToMultiByte(CP_ACP, 0, w.data(), (int)w.size(), buf, (int)sizeof buf - 1, nullptr, nullptr);
    if (n <= 0) {
        // Too long for the buffer in the code page: keep what fits.
        n = 0;
        for (size_t i = 0; i < w.size() && n < (int)sizeof buf - 1; ++i) buf[n++] = w[i] < 0x100 ? (char)w[i] : '?';
    }
    buf[n] = 0;
    return ZKCString(buf);
}

void ziDialogReader::decodeHeader() {
    style = 0;
    itemCount = 0;
    if (!tmpl) return;
    if (end_ - tmpl >= 4 && tmpl[0] == 1 && tmpl[1] == 0 && tmpl[2] == 0xFF && tmpl[3] == 0xFF) {
        trace("dialog template in the extended form is not read; the dialog stays empty\n");
        status = 2;
        return;
    }
    unsigned long st = readDword() & ~WS_VISIBLE;
    unsigned long ex = readDword();
    if (ex & DS_3DLOOK) st |= DS_3DLOOK;
    if (ex & DS_CONTEXTHELP) st |= DS_CONTEXTHELP;
    int count = (int)readWord();
    int x = (short)readWord();
    int y = (short)readWord();
    int cx = (int)readWord();
    int cy = (int)readWord();
    unsigned m = readWord();
    if (m == 0xFFFF) {
        hasMenu = 1;
        menuRes = zResId((int)readWord());
    } else if (m != 0) {
        readPos -= 2;
        skipString();  // a menu by name is not used, but must not shift the rest
    }
    unsigned cls = readWord();
    if (cls == 0xFFFF) readWord();
    else if (cls != 0) {
        readPos -= 2;
        skipString();
    }
    title = readString(kTitleMax);
    ZKCString face;
    int points = 0;
    if (st & DS_SETFONT) {
        points = (int)(readWord() & 0xFF);
        face = readString(kTitleMax);
    }
    if (overrun_) {
        trace("dialog template ends inside its header; the dialog stays empty\n");
        status = 3;
        title = ZKCString();
        return;
    }
    style = st;
    itemCount = count;

    zWindow* owner = window ? window->parentWin : nullptr;
    HWND ownerWnd = owner && owner->hwnd && IsWindow(owner->hwnd) ? owner->hwnd : 0;
    zDisplay* d = nullptr;
    HGDIOBJ oldFont = 0;
    if (st & DS_SETFONT) {
        font = new zFont(face.data(), zPrPoint(0, points * 10), _app ? _app->defaultDlgFontWeight() : 400);
        ownsFont_ = 1;
        if (ownerWnd) d = new zWinDisplay(owner);
        else d = new ziInfoDisplay;
        d->lock();
        if (d->hdc()) oldFont = SelectObject(d->hdc(), font->hfont());
    }
    zDialogUnit pos(x, y, d);
    zDialogUnit ext(cx, cy, d);
    int px = pos.x(), py = pos.y();
    if (ownerWnd) {
        RECT r;
        GetWindowRect(ownerWnd, &r);
        px += r.left;
        py += r.top;
    }
    left = px;
    top = py;
    right = px + ext.x();
    bottom = py + ext.y();
    if (d) {
        if (d->hdc() && oldFont) SelectObject(d->hdc(), oldFont);
        d->unlock();
        delete d;
    }
    status = 0;
}

void ziDialogReader::decodeHeader(zWindow* target) {
    window = target;
    if (ownsFont_) delete font;
    font = nullptr;
    ownsFont_ = 0;
    overrun_ = false;
    status = 1;
    readPos = tmpl;
    if (tmpl) decodeHeader();
    if (!font && window) font = window->font ? window->font : (window->parentWin ? window->parentWin->font : nullptr);
}

void ziDialogReader::setSize(zSizer* s) {
    if (!s) return;
    s->pos(zPoint(left, top));
    s->dimension(zDimension(right - left, bottom - top));
}

int ziDialogReader::createChildren() { return status == 0 ? decodeKids() : 0; }

int ziDialogReader::decodeKids() {
    ziInfoDisplay* info = nullptr;
    if (font) {
        info = new ziInfoDisplay;
        info->pushFont(font);
        info->lock();
    }
    int made = 0;
    for (int i = 0; i < itemCount && !overrun_; ++i) {
        adjustAlign();
        unsigned long st = readDword();
        readDword();  // extended style: not used
        int x = (short)readWord();
        int y = (short)readWord();
        int cx = (int)readWord();
        int cy = (int)readWord();
        int id = (int)readWord();
        int atom = 0;
        ZKCString cls;
        unsigned w = readWord();
        if (w == 0xFFFF) atom = (int)readWord();
        else {
            readPos -= 2;
            cls = readString(kClassMax);
        }
        ZKCString text;
        w = readWord();
        if (w == 0xFFFF) {
            text = ZKCString(("#" + std::to_string(readWord())).c_str());
        } else {
            readPos -= 2;
            text = readString(kTitleMax);
        }
        unsigned extra = readWord();
        if (extra) readPos = (size_t)(end_ - readPos) >= extra ? readPos + extra : end_;
        if (overrun_) {
            trace("dialog template ends inside an item; the rest is not built\n");
            break;
        }
        zDialogUnit p(x, y, info);
        zDialogUnit s(cx, cy, info);
        zRect r(p.x(), p.y(), p.x() + s.x(), p.y() + s.y());
        if (createBaseTypes(atom ? nullptr : cls.data(), atom, text, id, r, st)) ++made;
    }
    if (info) {
        info->unlock();
        info->popFont();
        delete info;
    }
    return made;
}

bool ziDialogReader::createBaseTypes(const char* cls, int atom, const ZKCString& text, int id, const zRect& r,
                                     unsigned long st) {
    if (!window) return false;
    if (cls && strcmp(cls, "scrollbar") == 0) {
        atom = AtomScrollBar;
        cls = nullptr;
    }
    zSizer* s = new zSizer(r.left, r.top, r.width(), r.height(), window->sizer);
    const char* t = text.data();
    zWindow* made = nullptr;
    if (cls) {
        // Resource compilers upper-case class names: the superclasses are found either way.
        zSuperClass* sc = zSuperClass::lookup(ZKCString(cls));
        if (!sc) {
            ZKCString lower(cls);
            lower.toLower();
            sc = zSuperClass::lookup(lower);
        }
        if (sc) {
            made = new zGenericControl(window, s, st, t, id, sc->className().data(), nullptr);
        } else if (zControlType* type = zControlType::find(cls)) {
            made = type->buildNew(window, s, st, t, id);
        }
    } else {
        switch (atom) {
        case AtomButton:
            switch (st & 0xF) {
            case BS_PUSHBUTTON: made = new zPushButton(window, s, st, t, id); break;
            case BS_DEFPUSHBUTTON:
                made = new zDefPushButton(window, s, st, t, id);
                if (defButton == 0xFFFF) defButton = id;
                break;
            case BS_CHECKBOX:
            case BS_AUTOCHECKBOX: made = new zCheckBox(window, s, st, t, id); break;
            case BS_RADIOBUTTON:
            case BS_AUTORADIOBUTTON: made = new zRadioButton(window, s, st, t, id); break;
            default: {
                zButton* b = new zButton(window, s, st, t, id);
                b->create();
                made = b;
            }
            }
            break;
        case AtomEdit: made = new zEditBase(window, s, st, t, id); break;
        case AtomStatic: made = new zStaticText(window, s, st, t, id); break;
        case AtomListBox: {
            zListBoxBase* l = new zListBoxBase(window, s, st, t, id);
            l->create();
            made = l;
            break;
        }
        case AtomScrollBar: {
            zScrollBarBase* b = new zScrollBarBase(window, s, st, t, id);
            b->create();
            made = b;
            break;
        }
        case AtomComboBox: {
            zComboBoxBase* c = new zComboBoxBase(window, s, st, t, id);
            c->create();
            made = c;
            break;
        }
        default: break;
        }
    }
    if (!made) {
        delete s;
        return false;
    }
    made->show(1);
    return true;
}
