#pragma once
// The cache's record of one object on disk: its site, path, file number, size
// and site directory, at the head of each .DEF file and as each entry of the
// index QUORVANE.IDX.
//
// Stream body after the record's prefix (class tag HTON):
//  - a frame holding the site key's bytes (no terminator);
//  - a frame holding the path's bytes;
//  - file number, size, site directory number: 4 bytes each, the writer's
//    byte order (little-endian here), swapped when the stream says so; missing
//    ones at the end of a short record read as 0.
// The index is a STREAMCOUNT of N followed by N of these records.
#include <string>

#include "Streamable.h"

class HTTPNAME : public STORABLE, public STREAMABLE {
public:
    std::string site;             // lower-case host, ":port" when not the default
    std::string path;             // the object key
    unsigned long siteDirectory;  // 0 without site directories
    unsigned long fileNumber;     // the object's identifier; 0 is invalid
    long size;                    // data bytes

    HTTPNAME() : STREAMABLE(0, 0), siteDirectory(0), fileNumber(0), size(0) {}

    QV_ITEM_IDENTITY(HTTPNAME, "HTTPNAME", "HTON")
    BBOOL StreamIn(STREAMBUF& in) override;
    BBOOL StreamOut(STREAMBUF& out) override;
    int ItemStreamSize(BBOOL full) override;
};
