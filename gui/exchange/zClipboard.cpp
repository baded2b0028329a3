#include "zClipboard.h"

#include "zBitmap.h"
#include "zRegion.h"

namespace {

FORMATETC descriptor(CLIPFORMAT cf, DWORD tymed) {
    FORMATETC f = {cf, nullptr, DVASPECT_CONTENT, -1, tymed};
    return f;
}

const FORMATETC textFormat = descriptor(CF_TEXT, TYMED_HGLOBAL);
const FORMATETC bitmapFormat = descriptor(CF_BITMAP, TYMED_GDI);
const FORMATETC pictFormat = descriptor(CF_METAFILEPICT, TYMED_MFPICT);

FORMATETC userFormat(const zExchangeFmt& fmt) { return descriptor(CLIPFORMAT(fmt.id()), TYMED_HGLOBAL); }

}  // namespace

zClipboard::zClipboard(zWindow* owner) : owner_(owner), data_(new zDataObject) {
    data_->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&offered_));
}

zClipboard::~zClipboard() {
    // Rendered now, the offered items outlive this object and the program.
    if (offered_ && OleIsCurrentClipboard(offered_) == S_OK) OleFlushClipboard();
    if (offered_) offered_->Release();
    delete data_;
}

HRESULT zClipboard::offer(HRESULT added) {
    if (FAILED(added)) return added;
    return OleSetClipboard(offered_);
}

HRESULT zClipboard::add(const char* text) { return offer(data_->add(text)); }

HRESULT zClipboard::add(const void* data, unsigned long size, const zExchangeFmt& fmt) {
    return offer(data_->add(data, size, fmt));
}

HRESULT zClipboard::add(zBitmap* bitmap) { return offer(data_->add(bitmap)); }

HRESULT zClipboard::add(zMetafileDisplay* display) { return offer(data_->add(display)); }

HRESULT zClipboard::clear() {
    data_->clear();
    return OleSetClipboard(offered_);
}

int zClipboard::available(const FORMATETC& format) {
    IDataObject* clip = nullptr;
    if (OleGetClipboard(&clip) != S_OK || !clip) return 0;
    FORMATETC f = format;
    int yes = clip->QueryGetData(&f) == S_OK;
    clip->Release();
    return yes;
}

bool zClipboard::fetch(const FORMATETC& format, STGMEDIUM& medium) {
    IDataObject* clip = nullptr;
    if (OleGetClipboard(&clip) != S_OK || !clip) return false;
    FORMATETC f = format;
    bool ok = clip->QueryGetData(&f) == S_OK && clip->GetData(&f, &medium) == S_OK;
    clip->Release();
    return ok;
}

int zClipboard::isTextAvail() { return available(textFormat); }
int zClipboard::isBitmapAvail() { return available(bitmapFormat); }
int zClipboard::isMetafileAvail() { return available(pictFormat); }
int zClipboard::isUserDataAvail(const zExchangeFmt& fmt) { return available(userFormat(fmt)); }

char* zClipboard::getText() {
    STGMEDIUM m = {};
    if (!fetch(textFormat, m)) return nullptr;
    char* text = m.tymed == TYMED_HGLOBAL ? ziTextFromGlobal(m.hGlobal) : nullptr;
    ReleaseStgMedium(&m);
    return text;
}

zBitmap* zClipboard::getBitmap(zDisplay*) {
    STGMEDIUM m = {};
    if (!fetch(bitmapFormat, m)) return nullptr;
    HANDLE copy = m.tymed == TYMED_GDI ? OleDuplicateData(m.hBitmap, CF_BITMAP, 0) : nullptr;
    ReleaseStgMedium(&m);
    return copy ? new zBitmap(static_cast<HBITMAP>(copy)) : nullptr;
}

unsigned char* zClipboard::getUserData(unsigned long& size, const zExchangeFmt& fmt) {
    size = 0;
    STGMEDIUM m = {};
    if (!fetch(userFormat(fmt), m)) return nullptr;
    unsigned char* bytes = m.tymed == TYMED_HGLOBAL ? ziBytesFromGlobal(m.hGlobal, size) : nullptr;
    ReleaseStgMedium(&m);
    return bytes;
}

int zClipboard::getMetafile(zMetafileDisplay* display) {
    IDataObject* clip = nullptr;
    if (OleGetClipboard(&clip) != S_OK || !clip) return 0;
    clip->Release();
    STGMEDIUM m = {};
    if (!display || !fetch(pictFormat, m)) return 1;
    if (m.tymed == TYMED_MFPICT) {
        if (HMETAFILE mf = ziMetafileFromPict(m.hMetaFilePict)) display->setMetafile(mf);
    }
    ReleaseStgMedium(&m);
    return 1;
}
