#pragma once
// The screen's facts, read once from the desktop window's context.
#include "QvWindows.h"

#include "ZKTPtrList.h"

class zPrinterSpec;

class zSystemInfo {
public:
    int width;   // pixels
    int height;  // pixels
    int pixPerInchX;
    int pixPerInchY;
    int mmHeight;
    int mmWidth;

    zSystemInfo();

    // The installed printers of WIN.INI [devices], each "device,driver,port";
    // the caller releases the list.
    ZKTPtrSlist<zPrinterSpec>* getPrinterList();
    void releasePrinterList(ZKTPtrSlist<zPrinterSpec>* list);
};
