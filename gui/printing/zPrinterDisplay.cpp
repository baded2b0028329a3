#include "zPrinterDisplay.h"

#include <cstring>
#include <string>

#include "zApp.h"
#include "zBitmap.h"
#include "zPrinterSpec.h"

PRINTDLGA* ziPrintDialogRecord() {
    if (!_zpdlg) {
        _zpdlg = new PRINTDLGA();
        _zpdlg->lStructSize = sizeof(PRINTDLGA);
    }
    return _zpdlg;
}

namespace {

// A DEVNAMES block naming the three, sized from the names.
HGLOBAL MakeDevNames(const char* driver, const char* device, const char* port) {
    size_t d = std::strlen(driver) + 1, v = std::strlen(device) + 1, p = std::strlen(port) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DEVNAMES) + d + v + p);
    auto* names = block ? static_cast<DEVNAMES*>(GlobalLock(block)) : nullptr;
    if (!names) {
        if (block) GlobalFree(block);
        return nullptr;
    }
    char* base = reinterpret_cast<char*>(names);
    names->wDriverOffset = WORD(sizeof(DEVNAMES));
    names->wDeviceOffset = WORD(names->wDriverOffset + d);
    names->wOutputOffset = WORD(names->wDeviceOffset + v);
    names->wDefault = 0;
    std::memcpy(base + names->wDriverOffset, driver, d);
    std::memcpy(base + names->wDeviceOffset, device, v);
    std::memcpy(base + names->wOutputOffset, port, p);
    GlobalUnlock(block);
    return block;
}

}  // namespace

zPrinterDisplay::zPrinterDisplay(zPrinterSpec* spec) {
    dispType = Printer;
    zPrinterSpec fallback;
    if (!spec) spec = &fallback;
    if (spec->driver() && *spec->driver()) {
        driver_ = spec->driver();
        device_ = spec->device() ? spec->device() : "";
        port_ = spec->port() ? spec->port() : "";
        takeContext(CreateDCA(driver_.data(), device_.data(), port_.data(), nullptr));
    }
    resetVisible();
}

zPrinterDisplay::~zPrinterDisplay() {
    while (locks > 0) unlock();
    if (printer_) DeleteDC(printer_);
}

int zPrinterDisplay::get() {
    dc = printer_;
    return dc != nullptr;
}

// A new context replaces the old one; locking applies the stored drawing state to it.
void zPrinterDisplay::takeContext(HDC context) {
    while (locks > 0) unlock();
    if (printer_) DeleteDC(printer_);
    printer_ = context;
    setDeviceFacts(0, 0, 0, 0, 0, 0);
    if (!printer_) return;
    lock();
    readDeviceFacts(printer_);
}

int zPrinterDisplay::printerSetup() {
    PRINTDLGA* pd = ziPrintDialogRecord();
    if (!pd->Flags) {
        pd->hwndOwner = _app && _app->mainFrame ? _app->mainFrame->hwnd : nullptr;
        if (printer_) {
            // Start from this display's own printer rather than the default one.
            pd->Flags = PD_RETURNDEFAULT | PD_RETURNDC | PD_COLLATE | PD_USEDEVMODECOPIES;
            if (PrintDlgA(pd) && pd->hDC) DeleteDC(pd->hDC);
            pd->hDC = nullptr;
            if (pd->hDevNames) GlobalFree(pd->hDevNames);
            pd->hDevNames = MakeDevNames(driver_.data(), device_.data(), port_.data());
        }
        pd->Flags = PD_NOSELECTION | PD_NOPAGENUMS | PD_COLLATE | PD_RETURNDC | PD_USEDEVMODECOPIES;
        pd->nFromPage = pd->nToPage = 0;
        pd->nCopies = WORD(copies);
    }
    if (!PrintDlgA(pd)) return 0;
    if (auto* names = pd->hDevNames ? static_cast<DEVNAMES*>(GlobalLock(pd->hDevNames)) : nullptr) {
        const char* base = reinterpret_cast<const char*>(names);
        driver_ = base + names->wDriverOffset;
        device_ = base + names->wDeviceOffset;
        port_ = base + names->wOutputOffset;
        GlobalUnlock(pd->hDevNames);
    }
    takeContext(pd->hDC);
    pd->hDC = nullptr;
    copies = pd->nCopies;
    collate = (pd->Flags & PD_COLLATE) != 0;
    resetVisible();
    return 1;
}

void zPrinterDisplay::adjustVisible(const zRect& r, int moveOrigin) {
    int left = r.left > 0 ? r.left : 0;
    int top = r.top > 0 ? r.top : 0;
    int right = unsigned(r.right) > unsigned(pxWidth) ? pxWidth : r.right;
    int bottom = unsigned(r.bottom) > unsigned(pxHeight) ? pxHeight : r.bottom;
    visible_ = zRect(left, top, right, bottom);
    if (moveOrigin) {
        setViewportOrg(left, top);
        visible_ = zRect(0, 0, right - left, bottom - top);
    }
}

void zPrinterDisplay::resetVisible() {
    visible_ = zRect(0, 0, pxWidth, pxHeight);
    setViewportOrg(0, 0);
}

int zPrinterDisplay::setAbortProc(ABORTPROC proc) { return printer_ ? SetAbortProc(printer_, proc) : 0; }

int zPrinterDisplay::ziStartJob(const char* name) {
    if (!printer_) return 0;
    DOCINFOA info = {};
    info.cbSize = sizeof info;
    info.lpszDocName = name;
    return StartDocA(printer_, &info);
}

int zPrinterDisplay::ziStartPage() { return printer_ ? StartPage(printer_) : 0; }
int zPrinterDisplay::ziEndPage() { return printer_ ? EndPage(printer_) : 0; }
int zPrinterDisplay::ziEndJob() { return printer_ ? EndDoc(printer_) : 0; }
int zPrinterDisplay::ziAbortJob() { return printer_ ? AbortDoc(printer_) : 0; }

int zPrinterDisplay::bitmap(zBitmap* bmp, const zPoint& at, unsigned long rop) {
    if (!printer_) return 0;
    if (!bmp || !bmp->hbitmap()) return 1;
    zDimension sz = bmp->size();
    POINT ext = {sz.width, sz.height};
    DPtoLP(printer_, &ext, 1);
    HGLOBAL dib = DibFromBitmap(bmp->hbitmap(), 0, 0, nullptr);
    if (!dib) return 0;
    StretchDibBlt(printer_, at.x, at.y, ext.x, ext.y, dib, 0, 0, ext.x, ext.y, rop);
    GlobalFree(dib);
    return 1;
}

HDC zPrinterDisplay::ziInfoContext() {
    if (driver_.isNull()) return nullptr;
    return CreateICA(driver_.data(), device_.data(), port_.data(), nullptr);
}
