#include "FileStore.h"

#include "TableIO.h"

using namespace tableio;

namespace {

const unsigned long kSmallestStore = 16;

void putItem(STREAMBUF& s, const FILEITEMID& item) {
    PutU32(s, item.id.id);
    for (unsigned long v : item.values) PutU32(s, v);
    unsigned char flags[2] = {(unsigned char)(item.flag1 ? 1 : 0), (unsigned char)(item.flag2 ? 1 : 0)};
    s.CopyIn(flags, 2);
}

void getItem(STREAMBUF& s, FILEITEMID& item, bool swap) {
    item.id.id = GetU32(s, swap);
    for (unsigned long& v : item.values) v = GetU32(s, swap);
    unsigned char flags[2] = {0, 0};
    s.CopyOut(flags, 2);
    item.flag1 = flags[0] != 0;
    item.flag2 = flags[1] != 0;
}

}  // namespace

FILESTORE::FILESTORE() : recordCount(0) {}

FILESTORE::FILESTORE(const char* n, int recordSize) : recordCount(0) {
    SetStream(n, recordSize > 0 ? recordSize : 0, IOMODE_UPDATE, FALSE);
    fixedRecordSize = recordSize;
    lengthPrefixes = 0;  // records are whole blocks addressed by number
}

int FILESTORE::OpenStream(const char* n, int size, IOMODE m) {
    if (fixedRecordSize <= 0) return status = FILE_CANNOTOPEN;
    int rc = FILESTREAM::OpenStream(n, size, m);
    if (rc) return rc;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) length = std::ftell(file);
    if (length < 0) {
        CloseStream();
        return status = FILE_WRITEFAILED;
    }
    if (length % fixedRecordSize != 0) {
        CloseStream();
        return status = FILE_BADRECORD;
    }
    unsigned long count = (unsigned long)(length / fixedRecordSize);
    if (count >= 1 && count < kSmallestStore) {
        CloseStream();
        return status = FILE_BADRECORD;
    }
    recordCount = count;
    // Records are read from the start, as after any other opening.
    std::fseek(file, 0, SEEK_SET);
    return 0;
}

BBOOL FILESTORE::headerStreamIn(STREAMBUF& s) {
    PutU32(s, ItemClassID());
    PutU32(s, recordCount);
    putItem(s, firstItem);
    putItem(s, secondItem);
    s << idControl;
    return idControl.streamStatus == 0;
}

BBOOL FILESTORE::headerStreamOut(STREAMBUF& s) {
    bool swap = Swapped(s);
    if (GetU32(s, swap) != ItemClassID()) return FALSE;
    recordCount = GetU32(s, swap);
    getItem(s, firstItem, swap);
    getItem(s, secondItem, swap);
    s >> idControl;
    return idControl.streamStatus == 0;
}
