#include "zEnumFormatEtc.h"

#include <new>

zEnumFormatEtc::zEnumFormatEtc(ULONG count, const FORMATETC* formats) {
    if (!count || !formats) return;
    formats_ = new (std::nothrow) FORMATETC[count];
    if (!formats_) return;
    count_ = count;
    for (ULONG i = 0; i < count; ++i) formats_[i] = formats[i];
}

zEnumFormatEtc::zEnumFormatEtc(ZKTValSlist<FORMATETC>& formats) {
    ULONG n = ULONG(formats.entries());
    if (!n) return;
    formats_ = new (std::nothrow) FORMATETC[n];
    if (!formats_) return;
    count_ = n;
    for (ULONG i = 0; i < n; ++i) formats_[i] = formats.at(i);
}

zEnumFormatEtc::~zEnumFormatEtc() { delete[] formats_; }

HRESULT STDMETHODCALLTYPE zEnumFormatEtc::QueryInterface(REFIID riid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IEnumFORMATETC)) {
        *out = static_cast<IEnumFORMATETC*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE zEnumFormatEtc::AddRef() { return ++refs_; }

ULONG STDMETHODCALLTYPE zEnumFormatEtc::Release() {
    if (--refs_ == 0) {
        delete this;
        return 0;
    }
    return refs_;
}

HRESULT STDMETHODCALLTYPE zEnumFormatEtc::Next(ULONG count, FORMATETC* out, ULONG* fetched) {
    if (!formats_) return S_FALSE;
    if (!fetched && count != 1) return E_POINTER;
    if (!out || pos_ >= count_) {
        if (fetched) *fetched = 0;
        return S_FALSE;
    }
    ULONG n = 0;
    while (n < count && pos_ < count_) out[n++] = formats_[pos_++];
    if (fetched) *fetched = n;
    return S_OK;
}

// Skipping exactly the entries that remain is allowed: it leaves the position at the end.
HRESULT STDMETHODCALLTYPE zEnumFormatEtc::Skip(ULONG count) {
    if (!formats_ || count > count_ - pos_) return S_FALSE;
    pos_ += count;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE zEnumFormatEtc::Reset() {
    pos_ = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE zEnumFormatEtc::Clone(IEnumFORMATETC** out) {
    if (!out) return E_POINTER;
    zEnumFormatEtc* copy = new (std::nothrow) zEnumFormatEtc(count_, formats_);
    if (!copy || (count_ && !copy->formats_)) {
        delete copy;
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
    copy->pos_ = pos_;
    copy->AddRef();
    *out = copy;
    return S_OK;
}
