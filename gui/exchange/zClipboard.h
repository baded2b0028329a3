#pragma once
// The system clipboard through OLE. What the program offers is held in one
// framework data object, re-offered with OleSetClipboard after every change,
// so the clipboard always shows the whole current set; reads open the
// clipboard's data object anew each time and copy what they need. At the end
// the offered data is flushed, so it stays on the clipboard after the program.
// GUI thread only (OLE's single-threaded apartment, set up by zApp).
#include "QvWindows.h"

#include <ole2.h>

#include "zDataObject.h"
#include "zExchangeFmt.h"
#include "zWindow.h"

class zBitmap;
class zDisplay;
class zMetafileDisplay;

class zClipboard : public zEvH {
public:
    explicit zClipboard(zWindow* owner);
    ~zClipboard() override;
    zClipboard(const zClipboard&) = delete;
    zClipboard& operator=(const zClipboard&) = delete;

    // Each replaces the item of its format and re-offers the set: OleSetClipboard's
    // result, or the add's own failure (nothing offered anew then).
    HRESULT add(const char* text);
    HRESULT add(const void* data, unsigned long size, const zExchangeFmt& fmt);
    HRESULT add(zBitmap* bitmap);
    HRESULT add(zMetafileDisplay* display);
    HRESULT clear();

    int isTextAvail();
    int isBitmapAvail();
    int isMetafileAvail();
    int isUserDataAvail(const zExchangeFmt& fmt);

    // New copies the caller owns; null (size 0) when the clipboard has none.
    char* getText();
    zBitmap* getBitmap(zDisplay* display = nullptr);
    unsigned char* getUserData(unsigned long& size, const zExchangeFmt& fmt);
    // Gives the display a copy of the clipboard's picture; 1 when the clipboard
    // could be opened, 0 otherwise.
    int getMetafile(zMetafileDisplay* display);

    zDataObject* dataObject() const { return data_; }

private:
    HRESULT offer(HRESULT added);
    int available(const FORMATETC& format);
    // GetData from the clipboard's object; false when there is nothing to read.
    bool fetch(const FORMATETC& format, STGMEDIUM& medium);

    zWindow* owner_;
    zDataObject* data_;
    IDataObject* offered_ = nullptr;
};
