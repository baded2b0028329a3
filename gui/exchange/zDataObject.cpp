#include "zDataObject.h"

#include <cstring>
#include <new>

#include "zBitmap.h"
#include "zEnumFormatEtc.h"
#include "zRegion.h"

namespace {

FORMATETC makeFormat(CLIPFORMAT cf, DWORD tymed) {
    FORMATETC f = {cf, nullptr, DVASPECT_CONTENT, -1, tymed};
    return f;
}

// The storage kind the predefined formats must travel in; 0 for the others.
DWORD requiredTymed(CLIPFORMAT cf) {
    switch (cf) {
    case CF_TEXT: return TYMED_HGLOBAL;
    case CF_BITMAP: return TYMED_GDI;
    case CF_METAFILEPICT: return TYMED_MFPICT;
    default: return 0;
    }
}

// A copy of a global block of exactly its size. OleDuplicateData is kept for
// GDI kinds: for memory it would read some format numbers (a palette, an
// enhanced metafile) as GDI handles.
HGLOBAL copyGlobal(HGLOBAL src) {
    SIZE_T size = GlobalSize(src);
    const void* from = GlobalLock(src);
    if (!from) return nullptr;
    HGLOBAL dst = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size ? size : 1);
    void* to = dst ? GlobalLock(dst) : nullptr;
    if (to) {
        std::memcpy(to, from, size);
        GlobalUnlock(dst);
    } else if (dst) {
        GlobalFree(dst);
        dst = nullptr;
    }
    GlobalUnlock(src);
    return dst;
}

// A picture block with a metafile of its own. Wine's OleDuplicateData gives
// nothing for pictures.
HGLOBAL copyPict(HGLOBAL src) {
    HMETAFILE mf = ziMetafileFromPict(src);
    if (!mf) return nullptr;
    HGLOBAL dst = copyGlobal(src);
    auto* pict = dst ? static_cast<METAFILEPICT*>(GlobalLock(dst)) : nullptr;
    if (!pict) {
        if (dst) GlobalFree(dst);
        DeleteMetaFile(mf);
        return nullptr;
    }
    pict->hMF = mf;
    GlobalUnlock(dst);
    return dst;
}

HANDLE duplicate(CLIPFORMAT cf, DWORD tymed, HANDLE h) {
    if (!h) return nullptr;
    if (tymed == TYMED_HGLOBAL) return copyGlobal(h);
    if (tymed == TYMED_MFPICT) return copyPict(h);
    return OleDuplicateData(h, cf, 0);
}

void freeStorage(STGMEDIUM m) {
    m.pUnkForRelease = nullptr;
    ReleaseStgMedium(&m);
}

STGMEDIUM makeMedium(DWORD tymed, HANDLE h) {
    STGMEDIUM m = {};
    m.tymed = tymed;
    m.hGlobal = static_cast<HGLOBAL>(h);
    m.pUnkForRelease = nullptr;
    return m;
}

}  // namespace

char* ziTextFromGlobal(HGLOBAL block) {
    SIZE_T size = GlobalSize(block);
    const char* p = static_cast<const char*>(GlobalLock(block));
    if (!p) return nullptr;
    // Text from any program: stop at its first NUL, and never read past the block.
    SIZE_T n = 0;
    while (n < size && p[n]) ++n;
    char* text = new (std::nothrow) char[n + 1];
    if (text) {
        std::memcpy(text, p, n);
        text[n] = 0;
    }
    GlobalUnlock(block);
    return text;
}

unsigned char* ziBytesFromGlobal(HGLOBAL block, unsigned long& size) {
    size = 0;
    SIZE_T n = GlobalSize(block);
    const void* p = GlobalLock(block);
    if (!p) return nullptr;
    unsigned char* bytes = new (std::nothrow) unsigned char[n ? n : 1];
    if (bytes) {
        std::memcpy(bytes, p, n);
        size = static_cast<unsigned long>(n);
    }
    GlobalUnlock(block);
    return bytes;
}

HMETAFILE ziMetafileFromPict(HGLOBAL pictBlock) {
    if (!pictBlock || GlobalSize(pictBlock) < sizeof(METAFILEPICT)) return nullptr;
    auto* pict = static_cast<const METAFILEPICT*>(GlobalLock(pictBlock));
    if (!pict) return nullptr;
    HMETAFILE mf = pict->hMF ? CopyMetaFileA(pict->hMF, nullptr) : nullptr;
    GlobalUnlock(pictBlock);
    return mf;
}

// ---- zDataObjectImp ------------------------------------------------------------------

zDataObjectImp::zDataObjectImp(zDataObject* owner) : owner_(owner) {}

zDataObjectImp::~zDataObjectImp() { clear(); }

HRESULT STDMETHODCALLTYPE zDataObjectImp::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDataObject)) {
        *out = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE zDataObjectImp::AddRef() { return ++refs_; }

ULONG STDMETHODCALLTYPE zDataObjectImp::Release() {
    ULONG left = --refs_;
    if (left == 0) {
        if (onRelease_) onRelease_(this);
        delete this;
    }
    return left;
}

HRESULT STDMETHODCALLTYPE zDataObjectImp::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium) return E_INVALIDARG;
    if (!(format->dwAspect & DVASPECT_CONTENT)) return DV_E_FORMATETC;
    CLIPFORMAT cf = format->cfFormat;
    DWORD tymed = requiredTymed(cf);
    if (tymed && !(format->tymed & tymed)) return DV_E_FORMATETC;
    int i = tymed ? find(cf) : find(cf, TYMED_HGLOBAL);
    if (i < 0) return DV_E_FORMATETC;
    const STGMEDIUM& held = dataMedia_.at(i);
    HANDLE copy = duplicate(cf, held.tymed, held.hGlobal);
    if (!copy) return E_OUTOFMEMORY;
    *medium = makeMedium(held.tymed, copy);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE zDataObjectImp::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE zDataObjectImp::QueryGetData(FORMATETC* format) {
    if (!format) return E_INVALIDARG;
    if (!(format->dwAspect & DVASPECT_CONTENT)) return DV_E_FORMATETC;
    return has(format->cfFormat) ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE zDataObjectImp::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (!out) return E_INVALIDARG;
    out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT STDMETHODCALLTYPE zDataObjectImp::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) {
    if (!format || !medium) return E_INVALIDARG;
    if (!(format->dwAspect & DVASPECT_CONTENT)) return DV_E_FORMATETC;
    CLIPFORMAT cf = format->cfFormat;
    DWORD tymed = requiredTymed(cf);
    if (tymed && !(format->tymed & tymed)) return DV_E_FORMATETC;
    if (!tymed) tymed = TYMED_HGLOBAL;
    // The handle is read as the kind the format stores: any other medium would be misread.
    if (medium->tymed != tymed) return DV_E_TYMED;
    HANDLE copy = duplicate(cf, tymed, medium->hGlobal);
    if (!copy) return E_OUTOFMEMORY;
    removeData(cf, requiredTymed(cf) ? 0 : TYMED_HGLOBAL);
    append(cf, tymed, copy);
    if (release) ReleaseStgMedium(medium);
    if (owner_) owner_->onReceiveFormat(zExchangeFmt(unsigned(cf)));
    return S_OK;
}

HRESULT STDMETHODCALLTYPE zDataObjectImp::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
    if (!out) return E_INVALIDARG;
    zEnumFormatEtc* e = nullptr;
    if (direction == DATADIR_GET)
        e = new (std::nothrow) zEnumFormatEtc(dataFormats_);
    else if (direction == DATADIR_SET)
        e = new (std::nothrow) zEnumFormatEtc(acceptFormats_);
    *out = e;
    if (!e) return E_FAIL;
    e->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE zDataObjectImp::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) { return E_FAIL; }
HRESULT STDMETHODCALLTYPE zDataObjectImp::DUnadvise(DWORD) { return E_FAIL; }
HRESULT STDMETHODCALLTYPE zDataObjectImp::EnumDAdvise(IEnumSTATDATA**) { return E_FAIL; }

void zDataObjectImp::clear() {
    while (!dataMedia_.isEmpty()) {
        freeStorage(dataMedia_.at(0));
        dataMedia_.removeAt(0);
        dataFormats_.removeAt(0);
    }
    dataCount_ = 0;
}

HRESULT zDataObjectImp::add(const char* text) {
    if (!text) return E_INVALIDARG;
    size_t n = std::strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, n);
    void* p = block ? GlobalLock(block) : nullptr;
    if (!p) {
        if (block) GlobalFree(block);
        return zDataObjectNoMemory;
    }
    std::memcpy(p, text, n);
    GlobalUnlock(block);
    removeData(CF_TEXT);
    append(CF_TEXT, TYMED_HGLOBAL, block);
    return S_OK;
}

// Exactly the bytes offered: a reader gets the same size back, no terminator added.
HRESULT zDataObjectImp::add(const void* data, unsigned long size, const zExchangeFmt& fmt) {
    if (!data && size) return E_INVALIDARG;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE | GMEM_ZEROINIT, size ? size : 1);
    void* p = block ? GlobalLock(block) : nullptr;
    if (!p) {
        if (block) GlobalFree(block);
        return zDataObjectNoMemory;
    }
    if (size) std::memcpy(p, data, size);
    GlobalUnlock(block);
    CLIPFORMAT cf = CLIPFORMAT(fmt.id());
    removeData(cf);
    append(cf, TYMED_HGLOBAL, block);
    return S_OK;
}

HRESULT zDataObjectImp::add(zBitmap* bitmap) {
    if (!bitmap || !bitmap->hbitmap()) return E_INVALIDARG;
    HANDLE copy = OleDuplicateData(bitmap->hbitmap(), CF_BITMAP, 0);
    if (!copy) return zDataObjectNoMemory;
    removeData(CF_BITMAP);
    append(CF_BITMAP, TYMED_GDI, copy);
    return S_OK;
}

// The entry holds its own copy of the metafile: the display keeps and deletes its own.
HRESULT zDataObjectImp::add(zMetafileDisplay* display) {
    METAFILEPICT pict = {};
    if (!display || !display->getMetafile(pict)) return E_INVALIDARG;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE | GMEM_ZEROINIT, sizeof pict);
    auto* p = block ? static_cast<METAFILEPICT*>(GlobalLock(block)) : nullptr;
    HMETAFILE copy = p ? CopyMetaFileA(pict.hMF, nullptr) : nullptr;
    if (!copy) {
        if (p) GlobalUnlock(block);
        if (block) GlobalFree(block);
        return zDataObjectNoMemory;
    }
    pict.hMF = copy;
    *p = pict;
    GlobalUnlock(block);
    removeData(CF_METAFILEPICT);
    append(CF_METAFILEPICT, TYMED_MFPICT, block);
    return S_OK;
}

char* zDataObjectImp::getText() {
    int i = find(CF_TEXT);
    return i < 0 ? nullptr : ziTextFromGlobal(dataMedia_.at(i).hGlobal);
}

zBitmap* zDataObjectImp::getBitmap() {
    int i = find(CF_BITMAP);
    if (i < 0) return nullptr;
    HANDLE copy = OleDuplicateData(dataMedia_.at(i).hBitmap, CF_BITMAP, 0);
    return copy ? new zBitmap(static_cast<HBITMAP>(copy)) : nullptr;
}

unsigned char* zDataObjectImp::getUserData(unsigned long& size, const zExchangeFmt& fmt) {
    size = 0;
    int i = find(CLIPFORMAT(fmt.id()), TYMED_HGLOBAL);
    return i < 0 ? nullptr : ziBytesFromGlobal(dataMedia_.at(i).hGlobal, size);
}

int zDataObjectImp::getMetafile(zMetafileDisplay* display) {
    int i = find(CF_METAFILEPICT);
    if (i < 0 || !display) return 0;
    HMETAFILE mf = ziMetafileFromPict(dataMedia_.at(i).hMetaFilePict);
    if (!mf) return 0;
    display->setMetafile(mf);
    return 1;
}

void zDataObjectImp::registerFormat(const zExchangeFmt& fmt) {
    CLIPFORMAT cf = CLIPFORMAT(fmt.id());
    DWORD tymed = requiredTymed(cf);
    acceptAppend(cf, tymed ? tymed : DWORD(TYMED_HGLOBAL));
}

void zDataObjectImp::unRegisterFormat(const zExchangeFmt& fmt) { removeAccepted(CLIPFORMAT(fmt.id())); }

void zDataObjectImp::registerOleFormat(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium) return;
    acceptFormats_.append(*format);
    acceptMedia_.append(*medium);
    ++acceptCount_;
}

void zDataObjectImp::unRegisterOleFormat(FORMATETC* format, STGMEDIUM*) {
    if (format) removeAccepted(format->cfFormat);
}

int zDataObjectImp::acceptDataObject(IDataObject* other) {
    if (!other) return 0;
    for (ZKSize_T i = 0; i < acceptFormats_.entries(); ++i) {
        FORMATETC f = acceptFormats_.at(i);
        if (other->QueryGetData(&f) == S_OK) return 1;
    }
    return 0;
}

int zDataObjectImp::fillFromDataObject(IDataObject* other) {
    if (!other) return 0;
    int taken = 0;
    for (ZKSize_T i = 0; i < acceptFormats_.entries(); ++i) {
        FORMATETC f = acceptFormats_.at(i);
        if (other->QueryGetData(&f) != S_OK) continue;
        STGMEDIUM m = {};
        if (other->GetData(&f, &m) != S_OK) continue;
        if (SetData(&f, &m, FALSE) == S_OK) taken = 1;
        ReleaseStgMedium(&m);
    }
    return taken;
}

int zDataObjectImp::has(CLIPFORMAT cf) const { return find(cf) >= 0; }

int zDataObjectImp::find(CLIPFORMAT cf, DWORD tymed) const {
    for (ZKSize_T i = 0; i < dataFormats_.entries(); ++i) {
        const FORMATETC& f = dataFormats_.at(i);
        if (f.cfFormat == cf && (!tymed || f.tymed == tymed)) return int(i);
    }
    return -1;
}

void zDataObjectImp::removeData(CLIPFORMAT cf, DWORD tymed) {
    for (int i; (i = find(cf, tymed)) >= 0;) {
        freeStorage(dataMedia_.at(i));
        dataMedia_.removeAt(i);
        dataFormats_.removeAt(i);
        --dataCount_;
    }
}

void zDataObjectImp::append(CLIPFORMAT cf, DWORD tymed, HANDLE handle) {
    dataFormats_.append(makeFormat(cf, tymed));
    dataMedia_.append(makeMedium(tymed, handle));
    ++dataCount_;
}

void zDataObjectImp::acceptAppend(CLIPFORMAT cf, DWORD tymed) {
    acceptFormats_.append(makeFormat(cf, tymed));
    acceptMedia_.append(makeMedium(tymed, nullptr));
    ++acceptCount_;
}

void zDataObjectImp::removeAccepted(CLIPFORMAT cf) {
    for (ZKSize_T i = 0; i < acceptFormats_.entries();) {
        if (acceptFormats_.at(i).cfFormat != cf) {
            ++i;
            continue;
        }
        acceptFormats_.removeAt(i);
        acceptMedia_.removeAt(i);
        --acceptCount_;
    }
}

// ---- zDataObject ---------------------------------------------------------------------

zDataObject::zDataObject() : imp_(new zDataObjectImp(this)) { imp_->AddRef(); }

zDataObject::~zDataObject() {
    imp_->detach();
    imp_->Release();
}

HRESULT STDMETHODCALLTYPE zDataObject::QueryInterface(REFIID riid, void** out) { return imp_->QueryInterface(riid, out); }
ULONG STDMETHODCALLTYPE zDataObject::AddRef() { return imp_->AddRef(); }
ULONG STDMETHODCALLTYPE zDataObject::Release() { return imp_->Release(); }
HRESULT STDMETHODCALLTYPE zDataObject::GetData(FORMATETC* f, STGMEDIUM* m) { return imp_->GetData(f, m); }
HRESULT STDMETHODCALLTYPE zDataObject::GetDataHere(FORMATETC* f, STGMEDIUM* m) { return imp_->GetDataHere(f, m); }
HRESULT STDMETHODCALLTYPE zDataObject::QueryGetData(FORMATETC* f) { return imp_->QueryGetData(f); }
HRESULT STDMETHODCALLTYPE zDataObject::GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) {
    return imp_->GetCanonicalFormatEtc(in, out);
}
HRESULT STDMETHODCALLTYPE zDataObject::SetData(FORMATETC* f, STGMEDIUM* m, BOOL release) {
    return imp_->SetData(f, m, release);
}
HRESULT STDMETHODCALLTYPE zDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) {
    return imp_->EnumFormatEtc(direction, out);
}
HRESULT STDMETHODCALLTYPE zDataObject::DAdvise(FORMATETC* f, DWORD flags, IAdviseSink* sink, DWORD* connection) {
    return imp_->DAdvise(f, flags, sink, connection);
}
HRESULT STDMETHODCALLTYPE zDataObject::DUnadvise(DWORD connection) { return imp_->DUnadvise(connection); }
HRESULT STDMETHODCALLTYPE zDataObject::EnumDAdvise(IEnumSTATDATA** out) { return imp_->EnumDAdvise(out); }
