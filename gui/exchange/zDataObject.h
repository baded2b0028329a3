#pragma once
// The framework's OLE data object. zDataObjectImp is the reference-counted COM
// object: it holds data entries (a format and its storage, at the same position
// of two lists) and the formats it accepts from other data objects (likewise).
// zDataObject is the application's side: it owns one imp, forwards every
// operation to it and hears of data set from outside through two virtual
// operations. Items the object creates have no target device, aspect
// DVASPECT_CONTENT and index -1; text and user data live in global memory
// (TYMED_HGLOBAL), bitmaps as GDI objects (TYMED_GDI), metafile pictures as a
// METAFILEPICT block (TYMED_MFPICT). User data is held with exactly the bytes
// offered. GUI thread only (OLE's single-threaded apartment).
#include "QvWindows.h"

#include <ole2.h>

#include "ZKTPtrList.h"
#include "zExchangeFmt.h"

class zBitmap;
class zMetafileDisplay;
class zDataObject;

// Copies out of global blocks that came from anywhere (the clipboard too):
// text ends at its first NUL and is always terminated; bytes keep the block's
// size; a picture block gives a metafile of the caller's own. Null on failure.
char* ziTextFromGlobal(HGLOBAL block);
unsigned char* ziBytesFromGlobal(HGLOBAL block, unsigned long& size);
HMETAFILE ziMetafileFromPict(HGLOBAL pictBlock);

// Returned by an add whose storage cannot be allocated.
const HRESULT zDataObjectNoMemory = STG_E_INSUFFICIENTMEMORY;

class zDataObjectImp : public IDataObject {
public:
    typedef void (*ReleaseNotify)(zDataObjectImp*);

    // The count starts at 0: whoever keeps the object AddRefs it.
    explicit zDataObjectImp(zDataObject* owner);
    virtual ~zDataObjectImp();
    zDataObjectImp(const zDataObjectImp&) = delete;
    zDataObjectImp& operator=(const zDataObjectImp&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** out) override;

    // Each add replaces every entry of the same format; 0 or zDataObjectNoMemory.
    void clear();
    HRESULT add(const char* text);
    HRESULT add(const void* data, unsigned long size, const zExchangeFmt& fmt);
    HRESULT add(zBitmap* bitmap);
    HRESULT add(zMetafileDisplay* display);

    // Copies of the first entry of the kind; the caller owns them, null when none.
    char* getText();
    zBitmap* getBitmap();
    unsigned char* getUserData(unsigned long& size, const zExchangeFmt& fmt);
    // Hands the display a copy of the held picture; 1 when it got one.
    int getMetafile(zMetafileDisplay* display);

    int isTextAvail() { return has(CF_TEXT); }
    int isBitmapAvail() { return has(CF_BITMAP); }
    int isMetafileAvail() { return has(CF_METAFILEPICT); }
    int isUserDataAvail(const zExchangeFmt& fmt) { return has(fmt.id()); }

    // The formats taken from other data objects (SetData, fillFromDataObject).
    void registerFormat(const zExchangeFmt& fmt);
    void unRegisterFormat(const zExchangeFmt& fmt);
    void registerOleFormat(FORMATETC* format, STGMEDIUM* medium);
    void unRegisterOleFormat(FORMATETC* format, STGMEDIUM* medium);
    // True when the other object offers any accepted format.
    int acceptDataObject(IDataObject* other);
    // Copies every accepted format the other object offers; true when any was taken.
    int fillFromDataObject(IDataObject* other);

    // Called once the last reference has gone, before the object is destroyed.
    void setReleaseNotify(ReleaseNotify fn) { onRelease_ = fn; }
    // The owner is going: notifications stop.
    void detach() { owner_ = nullptr; }
    ULONG dataCount() const { return dataCount_; }
    ULONG acceptCount() const { return acceptCount_; }

private:
    int has(CLIPFORMAT cf) const;
    // Position of the first entry of the format (and storage kind, when given); -1 when none.
    int find(CLIPFORMAT cf, DWORD tymed = 0) const;
    void removeData(CLIPFORMAT cf, DWORD tymed = 0);
    void append(CLIPFORMAT cf, DWORD tymed, HANDLE handle);
    void acceptAppend(CLIPFORMAT cf, DWORD tymed);
    void removeAccepted(CLIPFORMAT cf);

    zDataObject* owner_;
    ULONG dataCount_ = 0;
    ULONG acceptCount_ = 0;
    ULONG refs_ = 0;
    ULONG spare_ = 0;
    ReleaseNotify onRelease_ = nullptr;
    ZKTValSlist<FORMATETC> dataFormats_;
    ZKTValSlist<STGMEDIUM> dataMedia_;
    ZKTValSlist<FORMATETC> acceptFormats_;
    ZKTValSlist<STGMEDIUM> acceptMedia_;
};

class zDataObject {
public:
    // Makes the imp and keeps one reference to it; OLE's references keep it
    // alive past this object, without notifications.
    zDataObject();
    virtual ~zDataObject();
    zDataObject(const zDataObject&) = delete;
    zDataObject& operator=(const zDataObject&) = delete;

    // Data set from outside through IDataObject; both do nothing here.
    virtual void onReceiveOleFmt(FORMATETC* format, STGMEDIUM* medium) {}
    virtual void onReceiveFormat(const zExchangeFmt& fmt) {}

    // The imp's interface methods (QueryInterface gives the imp itself).
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out);
    ULONG STDMETHODCALLTYPE AddRef();
    ULONG STDMETHODCALLTYPE Release();
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium);
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium);
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format);
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out);
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release);
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out);
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink, DWORD* connection);
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection);
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** out);

    void clear() { imp_->clear(); }
    HRESULT add(const char* text) { return imp_->add(text); }
    HRESULT add(const void* data, unsigned long size, const zExchangeFmt& fmt) { return imp_->add(data, size, fmt); }
    HRESULT add(zBitmap* bitmap) { return imp_->add(bitmap); }
    HRESULT add(zMetafileDisplay* display) { return imp_->add(display); }
    char* getText() { return imp_->getText(); }
    zBitmap* getBitmap() { return imp_->getBitmap(); }
    int getMetafile(zMetafileDisplay* display) { return imp_->getMetafile(display); }
    unsigned char* getUserData(unsigned long& size, const zExchangeFmt& fmt) { return imp_->getUserData(size, fmt); }
    int isTextAvail() { return imp_->isTextAvail(); }
    int isBitmapAvail() { return imp_->isBitmapAvail(); }
    int isMetafileAvail() { return imp_->isMetafileAvail(); }
    int isUserDataAvail(const zExchangeFmt& fmt) { return imp_->isUserDataAvail(fmt); }
    void registerFormat(const zExchangeFmt& fmt) { imp_->registerFormat(fmt); }
    void unRegisterFormat(const zExchangeFmt& fmt) { imp_->unRegisterFormat(fmt); }
    void registerOleFormat(FORMATETC* format, STGMEDIUM* medium) { imp_->registerOleFormat(format, medium); }
    void unRegisterOleFormat(FORMATETC* format, STGMEDIUM* medium) { imp_->unRegisterOleFormat(format, medium); }
    int acceptDataObject(IDataObject* other) { return imp_->acceptDataObject(other); }
    int fillFromDataObject(IDataObject* other) { return imp_->fillFromDataObject(other); }

    zDataObjectImp* imp() const { return imp_; }

private:
    zDataObjectImp* imp_;
};
