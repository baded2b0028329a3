#pragma once
// A record file of fixed-size records with a streamed header.
#include "FileStream.h"
#include "IdControl.h"

struct FILEITEMID {
    IDNUMBER id;
    unsigned long values[3];
    BBOOL flag1;
    BBOOL flag2;

    FILEITEMID() : values{0, 0, 0}, flag1(FALSE), flag2(FALSE) {}
};

class FILEITEM : public STORABLE {
public:
    FILEITEMID itemId;

    QV_ITEM_IDENTITY(FILEITEM, "FILEITEM", "FIIa")
};

class FILESTORE : public FILESTREAM {
public:
    FILEITEMID firstItem;
    FILEITEMID secondItem;
    IDCONTROL idControl;
    unsigned long recordCount;

    FILESTORE();
    FILESTORE(const char* name, int recordSize);

    const char* ItemClassName() const { return "FILESTORE"; }
    unsigned long ItemClassID() const { return QvTag("FISa"); }

    // Refuses files that are not whole records, or that hold 1 to 15 of them.
    int OpenStream(const char* name, int bufferSize, IOMODE mode) override;

    // Historical names: headerStreamIn writes the header to s, headerStreamOut
    // reads it back.
    BBOOL headerStreamIn(STREAMBUF& s);
    BBOOL headerStreamOut(STREAMBUF& s);
};
