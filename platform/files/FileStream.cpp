#include "FileStream.h"

#include "QvWindows.h"

#include <cerrno>
#include <string>

#include "ByteOrder.h"

namespace {

// Creates every missing directory of the path of a file.
void makeDirectories(const char* path) {
    std::string p(path);
    for (size_t i = 0; i < p.size(); ++i) {
        if ((p[i] == '\\' || p[i] == '/') && i > 0 && p[i - 1] != ':') {
            std::string dir = p.substr(0, i);
            CreateDirectoryA(dir.c_str(), nullptr);
        }
    }
}

}  // namespace

FILESTREAM::FILESTREAM()
    : file(nullptr),
      lengthPrefixes(1),
      updateExisting(0),
      recordLength(0),
      fixedRecordSize(0),
      currentRecord(0),
      wantedRecord(0),
      lastOp(0) {}

FILESTREAM::FILESTREAM(const char* n, int size, IOMODE m) : FILESTREAM() { SetStream(n, size, m, FALSE); }

FILESTREAM::~FILESTREAM() {
    if (file) std::fclose(file);
    file = nullptr;
}

int FILESTREAM::OpenStream(const char* n, int size, IOMODE m) {
    if (file) CloseStream();
    recordLength = 0;
    currentRecord = wantedRecord = 0;
    lastOp = 0;
    status = 0;
    if (STREAMDEST::OpenStream(n, size, m) != 0 || !buffer.area.data) {
        open = FALSE;
        return -1;
    }
    switch (mode) {
    case IOMODE_READ:
        file = std::fopen(name, "rb");
        break;
    case IOMODE_WRITE:
        file = std::fopen(name, "wb");
        break;
    case IOMODE_UPDATE:
        file = updateExisting ? std::fopen(name, "r+b") : nullptr;
        if (!file) file = std::fopen(name, "w+b");
        break;
    case IOMODE_WRITEPATH:
        file = std::fopen(name, "wb");
        if (!file && errno == ENOENT) {
            makeDirectories(name);
            file = std::fopen(name, "wb");
        }
        break;
    default:
        break;
    }
    buffer.SetEmpty();
    if (!file) {
        status = FILE_CANNOTOPEN;
        open = FALSE;
        buffer.BufFree();
        return FILE_CANNOTOPEN;
    }
    open = TRUE;
    return 0;
}

int FILESTREAM::CloseStream() {
    if (file && std::fclose(file) != 0 && !status) status = FILE_WRITEFAILED;
    file = nullptr;
    open = FALSE;
    return STREAMDEST::CloseStream();
}

void FILESTREAM::switchTo(int op) {
    if (lastOp && lastOp != op && file) std::fseek(file, 0, SEEK_CUR);
    lastOp = op;
}

int FILESTREAM::fail(int code) {
    if (!status) status = code;
    // The whole buffer, as the record layer leaves it after any error.
    buffer.cursor = BUFFER(buffer.area.data, buffer.capacity);
    return status;
}

int FILESTREAM::position() {
    if (wantedRecord == currentRecord) return 0;
    if (fixedRecordSize <= 0) return FILE_BADRECORD;
    if (std::fseek(file, (long)wantedRecord * fixedRecordSize, SEEK_SET) != 0) return FILE_WRITEFAILED;
    endOfFile = FALSE;
    currentRecord = wantedRecord;
    return 0;
}

int FILESTREAM::ReadBuffer() {
    if (status) return status;
    if (!file) return fail(FILE_CANNOTOPEN);
    if (int rc = position()) return fail(rc);
    switchTo(1);
    unsigned long length;
    if (lengthPrefixes) {
        unsigned char b[4];
        size_t got = std::fread(b, 1, 4, file);
        if (got == 0) {
            endOfFile = TRUE;
            buffer.SetEmpty();
            return 0;
        }
        if (got < 4) return fail(FILE_BADRECORD);
        length = GetLe32(b);
        if (length > (unsigned long)buffer.capacity) return fail(FILE_BADRECORD);
    } else {
        length = recordLength ? recordLength : (unsigned long)fixedRecordSize;
        if (length > (unsigned long)buffer.capacity) return fail(FILE_BADRECORD);
    }
    size_t got = length ? std::fread(buffer.area.data, 1, length, file) : 0;
    if (got < length) {
        if (got == 0 && !lengthPrefixes && std::feof(file)) {
            endOfFile = TRUE;
            buffer.SetEmpty();
            return 0;
        }
        return fail(FILE_BADRECORD);
    }
    recordLength = length;
    // An empty record reads as nothing rather than as stale buffer bytes.
    buffer.cursor = BUFFER(buffer.area.data, (long)length);
    buffer.active = TRUE;
    ++currentRecord;
    ++wantedRecord;
    return 0;
}

int FILESTREAM::WriteBuffer() {
    unsigned long length = (unsigned long)buffer.Used();
    int rc = status;
    if (!rc && !file) rc = FILE_CANNOTOPEN;
    if (!rc) rc = position();
    if (!rc) switchTo(2);
    if (!rc && lengthPrefixes) {
        unsigned char b[4];
        PutLe32(b, length);
        if (std::fwrite(b, 1, 4, file) != 4) rc = FILE_WRITEFAILED;
    }
    if (!rc && length && std::fwrite(buffer.area.data, 1, length, file) != length) rc = FILE_WRITEFAILED;
    if (!rc) {
        recordLength = length;
        ++currentRecord;
        ++wantedRecord;
    } else if (!status) {
        status = rc;
    }
    buffer.SetForWrite();
    return status;
}

int FILESTREAM::ReadDirect(const BUFFER& data) {
    if (status) return status;
    if (!file) return status = FILE_CANNOTOPEN;
    switchTo(1);
    if (data.length > 0 && std::fread(data.data, 1, data.length, file) != (size_t)data.length)
        status = FILE_BADRECORD;
    return status;
}

int FILESTREAM::WriteDirect(const BUFFER& data) {
    if (status) return status;
    if (!file) return status = FILE_CANNOTOPEN;
    switchTo(2);
    if (data.length > 0 && std::fwrite(data.data, 1, data.length, file) != (size_t)data.length)
        status = FILE_WRITEFAILED;
    return status;
}
