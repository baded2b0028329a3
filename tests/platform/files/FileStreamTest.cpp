#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "FileStore.h"
#include "FileStream.h"
#include "ScratchDir.h"

namespace {

class FileStreamTest : public qvtest::ScratchDirTest {
protected:
    FileStreamTest() : ScratchDirTest("files") {}

    // One record of the given bytes.
    static int WriteRecord(FILESTREAM& fs, const std::string& bytes) {
        fs.buffer.SetForWrite();
        fs.buffer.CopyIn(bytes.data(), (long)bytes.size());
        return fs.WriteBuffer();
    }
    static std::string Readable(FILESTREAM& fs) { return std::string(fs.buffer.cursor.data, fs.buffer.cursor.length); }
};

}  // namespace

TEST_F(FileStreamTest, LengthPrefixedRecords) {
    FILESTREAM fs;
    ASSERT_EQ(0, fs.OpenStream("rec.dat", 64, IOMODE_WRITE));
    EXPECT_EQ(0, WriteRecord(fs, "0123456789"));
    EXPECT_EQ(0, WriteRecord(fs, ""));
    EXPECT_EQ(0, WriteRecord(fs, "abcde"));
    EXPECT_EQ(0, fs.CloseStream());
    EXPECT_EQ(std::string("\x0a\0\0\0" "0123456789" "\0\0\0\0" "\x05\0\0\0" "abcde", 27), Get("rec.dat"));

    ASSERT_EQ(0, fs.OpenStream("rec.dat", 64, IOMODE_READ));
    const char* expected[] = {"0123456789", "", "abcde"};
    for (const char* e : expected) {
        ASSERT_EQ(0, fs.ReadBuffer());
        EXPECT_FALSE(fs.endOfFile);
        EXPECT_EQ(e, Readable(fs));
    }
    EXPECT_EQ(3, fs.currentRecord);
    EXPECT_EQ(0, fs.ReadBuffer());
    EXPECT_TRUE(fs.endOfFile);
    EXPECT_EQ(0, fs.status);
    EXPECT_EQ(0, fs.CloseStream());
}

TEST_F(FileStreamTest, BadRecordsAndPositioning) {
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"longer than the buffer", std::string("\x00\x10\0\0", 4) + std::string(40, 'x')},
        {"cut short", std::string("\x0a\0\0\0" "abcd", 8)},
        {"cut prefix", std::string("\x0a\0", 2)},
    };
    for (const auto& c : cases) {
        Put("bad.dat", c.bytes);
        FILESTREAM fs;
        ASSERT_EQ(0, fs.OpenStream("bad.dat", 64, IOMODE_READ));
        EXPECT_EQ(FILE_BADRECORD, fs.ReadBuffer()) << c.what;
        EXPECT_EQ(FILE_BADRECORD, fs.ReadBuffer()) << c.what;  // the first error sticks
        EXPECT_EQ(FILE_BADRECORD, fs.CloseStream()) << c.what;
    }
    // Positioning needs a fixed record size.
    Put("pos.dat", std::string("\x01\0\0\0" "a", 5));
    FILESTREAM reader;
    ASSERT_EQ(0, reader.OpenStream("pos.dat", 64, IOMODE_READ));
    reader.wantedRecord = 1;
    EXPECT_EQ(FILE_BADRECORD, reader.ReadBuffer());
    FILESTREAM writer;
    ASSERT_EQ(0, writer.OpenStream("pos2.dat", 64, IOMODE_WRITE));
    writer.wantedRecord = 2;
    EXPECT_EQ(FILE_BADRECORD, WriteRecord(writer, "x"));
}

TEST_F(FileStreamTest, OpeningByMode) {
    FILESTREAM fs;
    EXPECT_EQ(FILE_CANNOTOPEN, fs.OpenStream("missing.dat", 64, IOMODE_READ));
    EXPECT_FALSE(fs.open);
    EXPECT_EQ(nullptr, fs.buffer.area.data);
    EXPECT_EQ(FILE_CANNOTOPEN, fs.OpenStream("x.dat", 64, 7));
    EXPECT_EQ(FILE_CANNOTOPEN, fs.OpenStream("no\\dir\\x.dat", 64, IOMODE_WRITE));

    ASSERT_EQ(0, fs.OpenStream("one\\two\\x.dat", 64, IOMODE_WRITEPATH));
    EXPECT_EQ(0, WriteRecord(fs, "abc"));
    EXPECT_EQ(0, fs.CloseStream());
    EXPECT_EQ(std::string("\x03\0\0\0" "abc", 7), Get("one\\two\\x.dat"));

    // Mode 3 recreates the file unless asked to update it.
    ASSERT_EQ(0, fs.OpenStream("one\\two\\x.dat", 64, IOMODE_UPDATE));
    fs.CloseStream();
    EXPECT_EQ("", Get("one\\two\\x.dat"));
    Put("keep.dat", std::string("\x01\0\0\0" "k", 5));
    fs.updateExisting = 1;
    ASSERT_EQ(0, fs.OpenStream("keep.dat", 64, IOMODE_UPDATE));
    ASSERT_EQ(0, fs.ReadBuffer());
    EXPECT_EQ("k", Readable(fs));
    EXPECT_EQ(0, WriteRecord(fs, "second"));
    fs.CloseStream();
    EXPECT_EQ(std::string("\x01\0\0\0" "k" "\x06\0\0\0" "second", 15), Get("keep.dat"));
    ASSERT_EQ(0, fs.OpenStream("fresh.dat", 64, IOMODE_UPDATE));  // created when missing
    fs.CloseStream();
    EXPECT_EQ("", Get("fresh.dat"));
}

TEST_F(FileStreamTest, FixedSizeRecordsByNumber) {
    FILESTREAM fs;
    fs.lengthPrefixes = 0;
    fs.fixedRecordSize = 8;
    ASSERT_EQ(0, fs.OpenStream("fixed.dat", 64, IOMODE_WRITE));
    for (const char* r : {"AAAAAAAA", "BBBBBBBB", "CCCCCCCC"}) EXPECT_EQ(0, WriteRecord(fs, r));
    fs.CloseStream();
    EXPECT_EQ("AAAAAAAABBBBBBBBCCCCCCCC", Get("fixed.dat"));

    fs.updateExisting = 1;
    ASSERT_EQ(0, fs.OpenStream("fixed.dat", 64, IOMODE_UPDATE));
    fs.wantedRecord = 2;
    ASSERT_EQ(0, fs.ReadBuffer());
    EXPECT_EQ("CCCCCCCC", Readable(fs));
    fs.wantedRecord = 1;
    EXPECT_EQ(0, WriteRecord(fs, "bbbbbbbb"));
    fs.wantedRecord = 0;
    ASSERT_EQ(0, fs.ReadBuffer());
    EXPECT_EQ("AAAAAAAA", Readable(fs));
    ASSERT_EQ(0, fs.ReadBuffer());
    EXPECT_EQ("bbbbbbbb", Readable(fs));
    fs.wantedRecord = 3;
    EXPECT_EQ(0, fs.ReadBuffer());
    EXPECT_TRUE(fs.endOfFile);
    fs.CloseStream();
    EXPECT_EQ("AAAAAAAAbbbbbbbbCCCCCCCC", Get("fixed.dat"));
}

TEST_F(FileStreamTest, DirectTransfers) {
    FILESTREAM fs;
    ASSERT_EQ(0, fs.OpenStream("direct.dat", 64, IOMODE_WRITE));
    char data[] = "raw bytes";
    EXPECT_EQ(0, fs.WriteDirect(BUFFER(data, 9)));
    fs.CloseStream();
    ASSERT_EQ(0, fs.OpenStream("direct.dat", 64, IOMODE_READ));
    char back[16] = {};
    EXPECT_EQ(0, fs.ReadDirect(BUFFER(back, 9)));
    EXPECT_STREQ("raw bytes", back);
    EXPECT_EQ(FILE_BADRECORD, fs.ReadDirect(BUFFER(back, 1)));
    fs.CloseStream();
}

TEST_F(FileStreamTest, RecordFilesOfWholeRecords) {
    struct Case {
        long bytes;
        int result;
    } cases[] = {{0, 0}, {16 * 32, 0}, {20 * 32, 0}, {10 * 32, FILE_BADRECORD}, {32, FILE_BADRECORD},
                 {16 * 32 + 5, FILE_BADRECORD}};
    for (const auto& c : cases) {
        Put("store.dat", std::string(c.bytes, 'r'));
        FILESTORE store("store.dat", 32);
        store.updateExisting = 1;
        EXPECT_EQ(c.result, store.OpenStream(nullptr, 0, 0)) << c.bytes;
        if (c.result == 0) {
            EXPECT_EQ((unsigned long)(c.bytes / 32), store.recordCount);
            if (c.bytes) {
                ASSERT_EQ(0, store.ReadBuffer());
                EXPECT_EQ(std::string(32, 'r'), Readable(store));
            }
        }
        store.CloseStream();
        EXPECT_EQ((size_t)c.bytes, Get("store.dat").size()) << "left as it was";
    }
    FILESTORE unsized;
    EXPECT_EQ(FILE_CANNOTOPEN, unsized.OpenStream("store.dat", 64, IOMODE_UPDATE));
}

TEST_F(FileStreamTest, RecordFileHeaderRoundTrip) {
    FILESTORE store("h.dat", 64);
    store.recordCount = 17;
    store.firstItem.id = IDNUMBER(5);
    store.firstItem.values[2] = 9;
    store.secondItem.flag2 = TRUE;
    IDNUMBER n;
    store.idControl.Assign(n);
    store.idControl.Assign(n);
    STREAMBUF s(256);
    s.SetForWrite();
    ASSERT_TRUE(store.headerStreamIn(s));
    s.SetForRead();
    FILESTORE back("h.dat", 64);
    ASSERT_TRUE(back.headerStreamOut(s));
    EXPECT_EQ(17u, back.recordCount);
    EXPECT_EQ(5u, back.firstItem.id.id);
    EXPECT_EQ(9u, back.firstItem.values[2]);
    EXPECT_FALSE(back.secondItem.flag1);
    EXPECT_TRUE(back.secondItem.flag2);
    EXPECT_EQ(3u, back.idControl.nextId);
}
