#pragma once
// IEnumFORMATETC over a private copy of a list of formats. Reference counted:
// it starts at 0, the receiver AddRefs it, the last Release frees it.
// GUI thread only.
#include "QvWindows.h"

#include <ole2.h>

#include "ZKTPtrList.h"

class zEnumFormatEtc : public IEnumFORMATETC {
public:
    zEnumFormatEtc(ULONG count, const FORMATETC* formats);
    explicit zEnumFormatEtc(ZKTValSlist<FORMATETC>& formats);
    virtual ~zEnumFormatEtc();
    zEnumFormatEtc(const zEnumFormatEtc&) = delete;
    zEnumFormatEtc& operator=(const zEnumFormatEtc&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* out, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** out) override;

private:
    ULONG refs_ = 0;
    ULONG pos_ = 0;
    ULONG count_ = 0;
    FORMATETC* formats_ = nullptr;
};
