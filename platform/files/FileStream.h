#pragma once
// A stream destination over a disk file: every buffer-full is one record,
// length-prefixed or of a fixed size addressed by number.
#include <cstdio>

#include "Streamable.h"

// Modes of OpenStream.
const IOMODE IOMODE_READ = 1;
const IOMODE IOMODE_WRITE = 2;
const IOMODE IOMODE_UPDATE = 3;       // recreates the file unless updateExisting is set
const IOMODE IOMODE_WRITEPATH = 4;    // write, creating missing directories

// Status codes of the file layer.
const int FILE_CANNOTOPEN = 9999;
const int FILE_WRITEFAILED = 9998;  // positioning or writing failed
const int FILE_BADRECORD = 9996;    // longer than the buffer, cut short, or no fixed size to position by

class FILESTREAM : public STREAMDEST {
public:
    FILE* file;
    int lengthPrefixes;   // 1: each record is preceded by its u32 length
    int updateExisting;   // with mode 3: open an existing file for update
    unsigned long recordLength;
    int fixedRecordSize;  // 0: records of varying length
    int currentRecord;
    int wantedRecord;     // set to reach another record (needs a fixed size)

    FILESTREAM();
    FILESTREAM(const char* name, int bufferSize, IOMODE mode);
    ~FILESTREAM() override;

    int OpenStream(const char* name, int bufferSize, IOMODE mode) override;
    int CloseStream() override;
    int ReadBuffer() override;
    int WriteBuffer() override;
    int ReadDirect(const BUFFER& data) override;
    int WriteDirect(const BUFFER& data) override;
    // Between length-prefixed records only: fixed-size records are counted by position.
    BBOOL TakesDirect() const override { return lengthPrefixes != 0 && fixedRecordSize <= 0; }

private:
    int lastOp;  // 1 read, 2 write: stdio needs a seek between the two
    void switchTo(int op);
    int fail(int code);
    int position();
};
