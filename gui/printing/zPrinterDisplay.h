#pragma once
// A display on a printer: its device context (kept locked for the display's
// whole life, so drawing state applies at once), the page range, copies and
// collation, the part of the page that is drawn on, and the print dialog.
// GUI thread only.
#include "QvWindows.h"

#include <commdlg.h>

#include "ZKCString.h"
#include "zDisplay.h"
#include "zGeometry.h"

class zPrinterSpec;

class zPrinterDisplay : public zDisplay {
public:
    // A null spec means the default printer; a spec without a driver gives no context.
    explicit zPrinterDisplay(zPrinterSpec* spec = nullptr);
    ~zPrinterDisplay() override;

    const ZKCString& driverName() const { return driver_; }
    const ZKCString& deviceName() const { return device_; }
    const ZKCString& portName() const { return port_; }

    // The print dialog: 1 with the user's printer, copies and collation taken, 0 when cancelled.
    int printerSetup();
    int configure() { return printerSetup(); }

    void getVisible(zRect& r) override { r = visible_; }
    void getDirty(zRect& r) override { r = visible_; }
    // Limits drawing to the rectangle within the page; with moveOrigin the
    // rectangle's corner becomes the origin.
    void adjustVisible(const zRect& r, int moveOrigin);
    void resetVisible();

    int setAbortProc(ABORTPROC proc);
    int ziStartJob(const char* name);
    int ziStartPage();
    int ziEndPage();
    int ziEndJob();
    int ziAbortJob();

    // Prints the bitmap as a device-independent one (printers take DIBs).
    int bitmap(zBitmap* bmp, const zPoint& at, unsigned long rop = SRCCOPY) override;
    // An information context of the named printer (for zDisplayInfo).
    HDC ziInfoContext() override;

    int firstPage = 1;
    int lastPage = 32767;
    int curPage = 1;
    int copies = 1;
    int collate = 0;

protected:
    int get() override;
    int release() override { return 1; }

private:
    void takeContext(HDC context);

    ZKCString driver_;
    ZKCString device_;
    ZKCString port_;
    HDC printer_ = nullptr;
    zRect visible_;
};

// The print dialog's record, kept between dialogs so the user's choices stay;
// made on first use, freed by ~zApp.
PRINTDLGA* ziPrintDialogRecord();
