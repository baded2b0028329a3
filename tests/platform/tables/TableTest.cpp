#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstring>
#include <string>

#include "ChildProcess.h"
#include "FileStream.h"
#include "Index.h"
#include "ScratchDir.h"
#include "BufferPool.h"
#include "SpControl.h"
#include "Table.h"

namespace {

// A table with one character column and one row holding a field of it.
struct OneField {
    TABLE table;
    COLUMN* column;
    ROW* row;
    FIELD* field;
    explicit OneField(unsigned short type = 4) {
        column = CHAIN<COLUMN>::Cast(table.AddColumn(TRUE).target);
        column->type.code = type;
        row = CHAIN<ROW>::Cast(table.AddRow(TRUE).target);
        field = CHAIN<FIELD>::Cast(row->AddField(column).target);
    }
    long FreeCells() const { return table.fieldAllocator.freeCount; }
};

std::string Pattern(int n) {
    std::string s(n, 0);
    for (int i = 0; i < n; ++i) s[i] = (char)('a' + i % 26);
    return s;
}

int Set(FIELD* f, const std::string& s) { return f->SetData(BUFFER(const_cast<char*>(s.data()), (long)s.size())); }

std::string Get(FIELD* f) {
    std::string out(f->DataLength() + 1, 0);
    int n = f->GetData(BUFFER(&out[0], (long)out.size()), FALSE);
    out.resize(n);
    return out;
}

}  // namespace

TEST(Field, ExtensionCellsAsCounted) {
    OneField t;
    struct Case {
        int length;
        int blocks;
    };
    // The inline part, then extension cells of FIELD_BLOCK_DATA bytes (80 and 124 in the 32-bit build).
    const int in = FIELD_INLINE_SIZE, cell = FIELD_BLOCK_DATA;
    const Case cases[] = {{0, 0},
                          {in, 0},
                          {in + 1, 1},
                          {in + cell, 1},
                          {in + cell + 1, 2},
                          {in + 2 * cell, 2},
                          {in + 2 * cell + 1, 3},
                          {1000, (1000 - in + cell - 1) / cell}};
    for (const auto& c : cases) {
        std::string value = Pattern(c.length);
        EXPECT_EQ(c.length, Set(t.field, value));
        EXPECT_EQ(c.blocks, t.field->BlockCount()) << c.length;
        EXPECT_EQ(value, Get(t.field)) << c.length;
    }
}

TEST(Field, ShrinkingReturnsCells) {
    OneField t;
    Set(t.field, Pattern(10));
    long before = t.FreeCells();
    Set(t.field, Pattern(300));
    EXPECT_EQ(2, t.field->BlockCount());
    Set(t.field, Pattern(10));
    EXPECT_EQ(0, t.field->BlockCount());
    EXPECT_EQ(before, t.FreeCells());
    EXPECT_EQ(Pattern(10), Get(t.field));
    t.field->FreeData(TRUE);
    EXPECT_EQ(10, t.field->length);
    t.field->FreeData(FALSE);
    EXPECT_EQ(0, t.field->length);
}

TEST(Field, GetDataTerminates) {
    OneField t;
    Set(t.field, "0123456789");
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(9, t.field->GetData(BUFFER(buf, 10), TRUE));
    EXPECT_STREQ("012345678", buf);
    EXPECT_EQ(10, t.field->GetData(BUFFER(buf, 11), TRUE));
    EXPECT_STREQ("0123456789", buf);
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(4, t.field->GetData(BUFFER(buf, 4), FALSE));
    EXPECT_EQ('x', buf[4]);
    EXPECT_EQ(0, t.field->GetData(BUFFER(), TRUE));
}

TEST(Field, CompareDataBuffer) {
    OneField t;
    struct Case {
        std::string value, key;
        int result;
    } cases[] = {
        {"abc", "abcd", -1},
        {"abc", "ab", 1},
        {"abc", "abc", 0},
        {"", "", 0},
        {"", "a", -1},
        {"\x80", "\x7f", 1},
        {"a\x7f", "a\x80", -1},
        {Pattern(300), Pattern(300), 0},
        {Pattern(250) + "a", Pattern(250) + "b", -1},
        {Pattern(250) + "z", Pattern(250) + "b", 1},
    };
    for (const auto& c : cases) {
        Set(t.field, c.value);
        EXPECT_EQ(c.result, t.field->CompareDataBuffer(BUFFER(const_cast<char*>(c.key.data()), (long)c.key.size()), 0))
            << c.value.size() << " vs " << c.key.size();
    }
}

TEST(Field, CopyReusesAndReturnsCells) {
    OneField t;
    FIELD* other = CHAIN<FIELD>::Cast(t.row->AddField(t.column).target);
    Set(other, Pattern(500));
    Set(t.field, Pattern(90));
    t.field->CopyData(*other);
    EXPECT_EQ(Pattern(500), Get(t.field));
    Set(other, "short");
    long before = t.FreeCells();
    t.field->CopyData(*other);
    EXPECT_EQ("short", Get(t.field));
    EXPECT_EQ(before + (500 - FIELD_INLINE_SIZE + FIELD_BLOCK_DATA - 1) / FIELD_BLOCK_DATA, t.FreeCells());
}

TEST(Field, DescriptorFormHoldsLargeValues) {
    OneField t(48);
    EXPECT_TRUE(t.field->IsLarge());
    EXPECT_EQ((int)sizeof(BLOBDEF), t.field->length);
    std::string big = Pattern(5000);
    EXPECT_EQ(5000, Set(t.field, big));
    EXPECT_EQ(big, Get(t.field));
    EXPECT_EQ(0, t.field->BlockCount());
    EXPECT_EQ(1, t.field->CompareDataBuffer(BUFFER(const_cast<char*>(big.data()), 4999), 0));
    Set(t.field, "");
    EXPECT_EQ(0, t.field->DataLength());
}

TEST(Field, SegmentedFormUsesPooledBuffers) {
    long before = _pSupport->bufferPool.inUse;
    {
        OneField t(49);
        ASSERT_NE(nullptr, t.field->Segments());
        std::string big = Pattern(10000);
        EXPECT_EQ(10000, Set(t.field, big));
        EXPECT_EQ(3, t.field->Segments()->parts.Count());  // 4096-byte segments
        EXPECT_EQ(before + 3, _pSupport->bufferPool.inUse);
        EXPECT_EQ(big, Get(t.field));
        EXPECT_EQ(0, t.field->CompareDataBuffer(BUFFER(&big[0], (long)big.size()), 0));
        EXPECT_EQ(1, t.field->CompareDataBuffer(BUFFER(&big[0], 9999), 0));
        Set(t.field, "tiny");
        EXPECT_EQ(1, t.field->Segments()->parts.Count());
        EXPECT_EQ("tiny", Get(t.field));
    }
    EXPECT_EQ(before, _pSupport->bufferPool.inUse);

    // Segments from a pool the caller names, in that pool's buffer size.
    BUFFERPOOL* own = new BUFFERPOOL(nullptr, 1024, 0, 0);
    own->prepare();
    {
        OneField t(49);
        std::string value = Pattern(3000);
        EXPECT_EQ(3000, t.field->SetData(BUFFER(&value[0], (long)value.size()), own));
        EXPECT_EQ(3, t.field->Segments()->parts.Count());
        EXPECT_EQ(3, own->inUse);
        EXPECT_EQ(before, _pSupport->bufferPool.inUse);
        EXPECT_EQ(value, Get(t.field));
    }
    EXPECT_EQ(0, own->inUse);
    own->freeobj();
}

QV_CHILD_CASE(FieldInSecondTable) {
    OneField a, b;
    a.field->SetColumn(b.column);
}

TEST(Field, BindingToASecondTableIsFatal) {
    auto r = qvtest::RunChild("FieldInSecondTable");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(1u, r.exitCode);
}

TEST(Table, IssuesIdsAndFindsColumns) {
    TABLE t;
    COLUMN* a = CHAIN<COLUMN>::Cast(t.AddColumn(TRUE).target);
    COLUMN* b = CHAIN<COLUMN>::Cast(t.AddColumn(TRUE).target);
    EXPECT_EQ(1024u, a->ColumnID());
    EXPECT_EQ(1025u, b->ColumnID());
    a->SetName("Name");
    b->SetName("Size");
    EXPECT_EQ(b, CHAIN<COLUMN>::Cast(t.FindColumn("Size").target));
    EXPECT_EQ(nullptr, t.FindColumn("size").target);
    EXPECT_EQ(a, CHAIN<COLUMN>::Cast(t.FindColumn(1024ul).target));
    EXPECT_EQ(b, CHAIN<COLUMN>::Cast(t.FindColumn(1025ul).target));
    EXPECT_EQ(nullptr, t.FindColumn(1026ul).target);
    ROW* r = CHAIN<ROW>::Cast(t.AddRow(TRUE).target);
    EXPECT_EQ(1024u, r->RowID());
    t.FreeTable(FALSE);
    EXPECT_EQ(nullptr, t.FirstColumn());
    EXPECT_EQ(1024u, CHAIN<COLUMN>::Cast(t.AddColumn(TRUE).target)->ColumnID());
}

TEST(Table, InsertsRowsBeforeAPosition) {
    TABLE t;
    ROW* first = CHAIN<ROW>::Cast(t.AddRow(TRUE).target);
    bSPOINTER* at = &_NULLSPTR;
    ROW* last = CHAIN<ROW>::Cast(t.AddRow(at).target);  // at the end: appended
    at = t.rows.first;
    ROW* front = CHAIN<ROW>::Cast(t.AddRow(at).target);  // on the first: new first
    EXPECT_EQ(front, CHAIN<ROW>::Cast(at->target));
    ROW* order[3] = {};
    int i = 0;
    for (ROW* r = t.FirstRow(); r && i < 3; r = t.NextRow(r)) order[i++] = r;
    EXPECT_EQ(front, order[0]);
    EXPECT_EQ(first, order[1]);
    EXPECT_EQ(last, order[2]);
}

TEST(Table, FindsFieldsByColumnId) {
    TABLE t;
    COLUMN* cols[3];
    for (auto& c : cols) c = CHAIN<COLUMN>::Cast(t.AddColumn(TRUE).target);
    ROW* r = CHAIN<ROW>::Cast(t.AddRow(TRUE).target);
    r->SetField(cols[2], BUFFER((char*)"c", 1));
    r->SetField(cols[0], BUFFER((char*)"a", 1));
    EXPECT_EQ("a", Get(r->GetField(cols[0]->ColumnID())));
    EXPECT_EQ("c", Get(r->GetField(cols[2]->ColumnID())));
    EXPECT_EQ(nullptr, r->GetField(cols[1]->ColumnID()));
    EXPECT_TRUE(r->DeleteField(cols[2]->ColumnID()));
    EXPECT_FALSE(r->DeleteField(cols[2]->ColumnID()));
    EXPECT_EQ(nullptr, r->GetField(cols[2]->ColumnID()));
}

TEST(Index, GroupsRowsUnderOneEntry) {
    TABLE t;
    COLUMN* c = CHAIN<COLUMN>::Cast(t.AddColumn(TRUE).target);
    ROW* rows[5];
    const char* keys[5] = {"same", "other", "same", "same", "zzz"};
    for (int i = 0; i < 5; ++i) {
        rows[i] = CHAIN<ROW>::Cast(t.AddRow(TRUE).target);
        rows[i]->SetField(c, BUFFER(const_cast<char*>(keys[i]), (long)std::strlen(keys[i])));
    }
    INDEX index(&t, c);
    EXPECT_EQ(3, index.count);
    INDEXENTRY* e = index.FindIndexRow("same", 0);
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(3, e->rows.Count());
    EXPECT_EQ(rows[0], index.CurrentRow());
    EXPECT_EQ(nullptr, index.FindIndexRow("sam", 0));
    EXPECT_EQ(nullptr, index.FindIndexRow("samex", 0));

    index.DeleteIndexRow(rows[0], FALSE);
    index.DeleteIndexRow(rows[2], FALSE);
    ASSERT_NE(nullptr, index.FindIndexRow("same", 0));
    EXPECT_EQ(rows[3], index.CurrentRow());
    index.DeleteIndexRow(rows[3], FALSE);
    EXPECT_EQ(nullptr, index.FindIndexRow("same", 0));
    EXPECT_EQ(2, index.count);
    EXPECT_NE(nullptr, index.FindIndexRow("zzz", 0));
}

TEST(Index, LongKeysFindTheirOwnRow) {
    TABLE t;
    COLUMN* c = CHAIN<COLUMN>::Cast(t.AddColumn(TRUE).target);
    std::string base = "http://example.com/" + std::string(60, 'p');  // 79 characters
    std::string names[3] = {base + "/one", base + "/two", base + "/one/more"};
    ROW* rows[3];
    for (int i = 0; i < 3; ++i) {
        rows[i] = CHAIN<ROW>::Cast(t.AddRow(TRUE).target);
        rows[i]->SetField(c, BUFFER(&names[i][0], (long)names[i].size()));
    }
    INDEX index(&t, c);
    EXPECT_EQ(1, index.count);  // one entry for the shared significant part
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(nullptr, index.FindIndexRow(names[i].c_str(), (int)names[i].size())) << i;
        EXPECT_EQ(rows[i], index.CurrentRow()) << i;
        EXPECT_EQ(nullptr, index.NextRow());
    }
    EXPECT_EQ(nullptr, index.FindIndexRow((base + "/three").c_str(), 0));
}

namespace {

// A table with a transient column, a 32-bit column with an attached value, a
// long value, a large value and a transient row.
struct Sample {
    TABLE table;
    COLUMN *name, *scratch, *number, *blob, *pooled;
    ROW *first, *second, *skipped;
    std::string longText = Pattern(300), bigValue = Pattern(3000);
    Sample() {
        std::strcpy(table.name, "Sample");
        table.AllocateBuffers(4096);
        name = CHAIN<COLUMN>::Cast(table.AddColumn(TRUE).target);
        scratch = CHAIN<COLUMN>::Cast(table.AddColumn(TRUE).target);
        number = CHAIN<COLUMN>::Cast(table.AddColumn(TRUE).target);
        blob = CHAIN<COLUMN>::Cast(table.AddColumn(TRUE).target);
        name->SetName("Name");
        std::strcpy(name->dbName, "db_name");
        scratch->SetName("Scratch");
        scratch->flags |= COLUMN_TRANSIENT;
        number->SetName("Number");
        number->type = COLTYPE(6, 4, 0, 0, 0);
        unsigned char four[4] = {1, 2, 3, 4};
        number->SetValue(BUFFER((char*)four, 4));
        blob->SetName("Blob");
        blob->type.code = 48;
        pooled = CHAIN<COLUMN>::Cast(table.AddColumn(TRUE).target);
        pooled->SetName("Pooled");
        pooled->type.code = 49;
        first = CHAIN<ROW>::Cast(table.AddRow(TRUE).target);
        first->SetField(name, BUFFER(&longText[0], (long)longText.size()));
        first->SetField(scratch, BUFFER((char*)"gone", 4));
        first->SetField(blob, BUFFER(&bigValue[0], (long)bigValue.size()));
        skipped = CHAIN<ROW>::Cast(table.AddRow(TRUE).target);
        skipped->flags |= ROW_TRANSIENT;
        second = CHAIN<ROW>::Cast(table.AddRow(TRUE).target);
        second->SetField(number, BUFFER((char*)"\x10\x20\x30\x40", 4));
        second->SetField(pooled, BUFFER(&bigValue[0], (long)bigValue.size()));
    }
};

std::string Written(TABLE& t) {
    STREAMBUF s(1 << 16);
    s.SetForWrite();
    s << t;
    EXPECT_EQ(0, t.streamStatus);
    return std::string(s.area.data, s.Used());
}

// Reads a table from the bytes; returns the table's result.
BBOOL ReadBack(TABLE& t, std::string bytes) {
    STREAMBUF s;
    s.BufSet(BUFFER(&bytes[0], (long)bytes.size()));
    s.cursor = BUFFER(&bytes[0], (long)bytes.size());
    s.active = TRUE;
    s >> t;
    s.BufSet(BUFFER());
    return t.streamStatus == 0;
}

void ExpectSampleCopy(TABLE& t, Sample& src) {
    EXPECT_STREQ("Sample", t.name);
    EXPECT_EQ(src.table.lastColumnId, t.lastColumnId);
    EXPECT_EQ(src.table.lastRowId, t.lastRowId);
    EXPECT_GE(t.workBuffer.length, 4096);
    COLUMN* c = t.FirstColumn();
    ASSERT_NE(nullptr, c);
    EXPECT_STREQ("Name", c->name);
    EXPECT_STREQ("db_name", c->dbName);
    EXPECT_EQ(src.name->ColumnID(), c->ColumnID());
    c = t.NextColumn(c);
    ASSERT_NE(nullptr, c);
    EXPECT_STREQ("Number", c->name);  // the transient column stays behind
    EXPECT_EQ(6, c->type.code);
    ASSERT_NE(nullptr, c->value);
    EXPECT_EQ(std::string("\x01\x02\x03\x04", 4), Get(c->value));
    c = t.NextColumn(c);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(48, c->type.code);
    c = t.NextColumn(c);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(49, c->type.code);
    EXPECT_EQ(nullptr, t.NextColumn(c));

    ROW* r = t.FirstRow();
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(src.first->RowID(), r->RowID());
    EXPECT_EQ(src.longText, Get(r->GetField(src.name->ColumnID())));
    EXPECT_EQ(nullptr, r->GetField(src.scratch->ColumnID()));
    FIELD* big = r->GetField(src.blob->ColumnID());
    ASSERT_NE(nullptr, big);
    EXPECT_TRUE(big->IsLarge());
    EXPECT_EQ(src.bigValue, Get(big));
    r = t.NextRow(r);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(src.second->RowID(), r->RowID());
    EXPECT_EQ("\x10\x20\x30\x40", Get(r->GetField(src.number->ColumnID())));
    FIELD* pooled = r->GetField(src.pooled->ColumnID());
    ASSERT_NE(nullptr, pooled);
    ASSERT_NE(nullptr, pooled->Segments());
    EXPECT_EQ(src.bigValue, Get(pooled));
    EXPECT_EQ(nullptr, t.NextRow(r));
}

}  // namespace

TEST(TableStream, RoundTripInMemory) {
    Sample src;
    std::string bytes = Written(src.table);
    TABLE copy;
    ASSERT_TRUE(ReadBack(copy, bytes));
    ExpectSampleCopy(copy, src);
    // What was read writes the same bytes again.
    EXPECT_EQ(bytes, Written(copy));
}

TEST(TableStream, RoundTripThroughAFile) {
    Sample src;
    for (int i = 0; i < 40; ++i) {  // enough rows for several records
        ROW* r = CHAIN<ROW>::Cast(src.table.AddRow(TRUE).target);
        r->SetField(src.name, BUFFER(&src.longText[0], 200));
    }
    FILESTREAM out;
    ASSERT_EQ(0, out.OpenStream("table.dat", 4096, IOMODE_WRITE));
    out << src.table;
    EXPECT_EQ(0, src.table.streamStatus);
    EXPECT_EQ(0, out.CloseStream());

    FILESTREAM in;
    ASSERT_EQ(0, in.OpenStream("table.dat", 4096, IOMODE_READ));
    TABLE copy;
    in >> copy;
    EXPECT_EQ(0, copy.streamStatus);
    EXPECT_EQ(0, in.CloseStream());
    EXPECT_EQ(42, copy.rows.Count());
    // Drop the added rows and compare the rest.
    while (copy.rows.Count() > 2) copy.DeleteRow(copy.rows.Last());
    ExpectSampleCopy(copy, src);
}

TEST(TableStream, WritesTheFileLayout) {
    TABLE t;
    std::strcpy(t.name, "T");
    COLUMN* c = CHAIN<COLUMN>::Cast(t.AddColumn(TRUE).target);
    c->SetName("C");
    c->type = COLTYPE(4, 0, 0, 0, 0);
    ROW* r = CHAIN<ROW>::Cast(t.AddRow(TRUE).target);
    r->SetField(c, BUFFER((char*)"xy", 2));
    const std::string expected(
        // table: class id, then the header item: name, last column and row
        // ids, work buffer size, column and row counts
        "\x94\x0c\x00\x00\x7b\x00" "TBLa"
        "\x80\x00\x00\x00\x16\x00" "T\0" "\x00\x04\0\0" "\x00\x04\0\0" "\0\0\0\0" "\x01\0\0\0" "\x01\0\0\0"
        // column 1024: names, attributes and 2 zeros, its type and two further types, no value
        "\x90\x40\x00\x00\x34\x00" "COLa" "\x00\x04\0\0"
        "\x80\x00\x00\x00\x2e\x00" "C\0" "\0" "\0"
        "\x00\x01\x00\x01\x00\x01\x00\x00\x00\x00\x01\x00" "\0\0"
        "\x04\0\0\0\0\0\0\0\0" "\x02\0\0\0\0\0\0\0\0" "\x02\0\0\0\0\0\0\0\0" "\0"
        // row 1024: field count, then the field item (column id as its code)
        "\x90\x40\x00\x00\x0f\x00" "ROWa" "\x00\x04\0\0"
        "\x00\x00\x04" "\x01\0\0\0"
        "\x80\x00\x00\x04\x02\x00" "xy",
        133);
    EXPECT_EQ(expected, Written(t));
}

TEST(TableStream, DamagedStreamsFailCleanly) {
    Sample src;
    std::string bytes = Written(src.table);
    for (size_t cut = 0; cut < bytes.size(); cut += 7) {
        TABLE t;
        EXPECT_FALSE(ReadBack(t, bytes.substr(0, cut))) << cut;
    }
    std::string noise(300, '\xA5');
    TABLE t;
    EXPECT_FALSE(ReadBack(t, noise));

    // A header that claims a billion rows stops where the data ends.
    TABLE empty;
    std::strcpy(empty.name, "E");
    std::string header = Written(empty);
    size_t at = header.find(std::string("E\0", 2));
    ASSERT_NE(std::string::npos, at);
    std::string claim("\x00\xCA\x9A\x3B", 4);  // 1000000000 rows
    header.replace(at + 2 + 4 * 4, 4, claim);
    TABLE greedy;
    EXPECT_FALSE(ReadBack(greedy, header));
    EXPECT_EQ(0, greedy.rows.Count());
    // So does one that asks for a two-gigabyte work buffer.
    header.replace(at + 2 + 2 * 4, 4, std::string("\xFF\xFF\xFF\x7F", 4));
    TABLE hungry;
    EXPECT_FALSE(ReadBack(hungry, header));
}

TEST(TableStream, SwapsValuesWrittenInTheOtherByteOrder) {
    TABLE t;
    CHAIN<COLUMN>::Cast(t.AddColumn(TRUE).target);
    COLUMN* number = CHAIN<COLUMN>::Cast(t.AddColumn(TRUE).target);
    number->type.code = 6;
    ROW row(&t, FALSE);
    // A row as a big-endian writer frames it: the field item has the
    // byte-order flag and its code and length in that order.
    std::string bytes("\x90\x40\x00\x00\x11\x00" "ROWa" "\x05\x04\x00\x00"
                      "\x00\x00\x04" "\x01\x00\x00\x00"
                      "\x88\x00\x04\x01\x00\x04" "\x01\x02\x03\x04",
                      31);
    STREAMBUF s;
    s.BufSet(BUFFER(&bytes[0], (long)bytes.size()));
    s.cursor = BUFFER(&bytes[0], (long)bytes.size());
    s >> row;
    s.BufSet(BUFFER());
    EXPECT_EQ(0, row.streamStatus);
    EXPECT_EQ(1029u, row.RowID());
    FIELD* f = row.GetField(number->ColumnID());
    ASSERT_NE(nullptr, f);
    EXPECT_EQ(std::string("\x04\x03\x02\x01", 4), Get(f));
}

namespace {

// Bytes without a short period, so a shifted or repeated run shows.
std::string Varied(int n) {
    std::string s(n, 0);
    for (int i = 0; i < n; ++i) s[i] = (char)((i * 7 + i / 251) & 0xFF);
    return s;
}

// A large column with its own attached value, and a row holding a large
// value between two small ones.
struct LargeSample {
    TABLE table;
    COLUMN* big;
    COLUMN* text;
    ROW* row;
    std::string value = Varied(100 * 1024);
    std::string attached = Varied(100 * 1024 + 3).substr(3);
    explicit LargeSample(unsigned short type) {
        table.AllocateBuffers(1024, nullptr);  // what a loaded table takes
        text = CHAIN<COLUMN>::Cast(table.AddColumn(TRUE).target);
        text->type = COLTYPE(4, 0, 0, 0, 0);
        big = CHAIN<COLUMN>::Cast(table.AddColumn(TRUE).target);
        big->type = COLTYPE(type, 0, 0, 0, 0);
        big->SetValue(BUFFER(&attached[0], (long)attached.size()));
        row = CHAIN<ROW>::Cast(table.AddRow(TRUE).target);
        row->SetField(text, BUFFER((char*)"before", 6));
        row->SetField(big, BUFFER(&value[0], (long)value.size()));
        ROW* next = CHAIN<ROW>::Cast(table.AddRow(TRUE).target);
        next->SetField(text, BUFFER((char*)"after", 5));
    }
};

std::string WrittenTo(const char* path, TABLE& t) {
    FILESTREAM out;
    if (out.OpenStream(path, 4096, IOMODE_WRITE) != 0) return "<not opened>";
    out << t;
    EXPECT_EQ(0, t.streamStatus);
    EXPECT_EQ(0, out.CloseStream());
    return qvtest::FileText(path);
}

bool ReadFrom(const char* path, TABLE& t) {
    FILESTREAM in;
    if (in.OpenStream(path, 4096, IOMODE_READ) != 0) return false;
    in >> t;
    in.CloseStream();
    return t.streamStatus == 0;
}

}  // namespace

// Large values pass between the records straight to the file, so neither a
// row nor a column holding one has to fit a record.
TEST(TableStream, LargeValuesRoundTripThroughAFile) {
    for (unsigned short type : {48, 49}) {
        SCOPED_TRACE(type);
        LargeSample src(type);
        std::string written = WrittenTo("largetable.dat", src.table);
        // Each value lies whole in the file, not cut into records.
        EXPECT_NE(std::string::npos, written.find(src.value));
        EXPECT_NE(std::string::npos, written.find(src.attached));

        TABLE copy;
        ASSERT_TRUE(ReadFrom("largetable.dat", copy));
        COLUMN* big = CHAIN<COLUMN>::Cast(copy.FindColumn(src.big->ColumnID()).target);
        ASSERT_NE(nullptr, big);
        ASSERT_NE(nullptr, big->value);
        EXPECT_TRUE(big->value->IsLarge());
        EXPECT_TRUE(src.attached == Get(big->value));
        ROW* r = copy.FirstRow();
        ASSERT_NE(nullptr, r);
        EXPECT_EQ("before", Get(r->GetField(src.text->ColumnID())));
        FIELD* f = r->GetField(src.big->ColumnID());
        ASSERT_NE(nullptr, f);
        EXPECT_EQ(type == 49, f->Segments() != nullptr);
        EXPECT_TRUE(src.value == Get(f));
        r = copy.NextRow(r);
        ASSERT_NE(nullptr, r);
        EXPECT_EQ("after", Get(r->GetField(src.text->ColumnID())));
        // What was read writes the same bytes again.
        EXPECT_TRUE(written == WrittenTo("again.dat", copy));

        // A file cut inside a value reads as an error, not as a value.
        ASSERT_TRUE(qvtest::PutFile("cut.dat", written.substr(0, written.find(src.value) + 5000)));
        TABLE cut;
        EXPECT_FALSE(ReadFrom("cut.dat", cut));
    }
}

TEST(TableStream, SwapsAColumnWrittenInTheOtherByteOrder) {
    TABLE t;
    COLUMN* c = CHAIN<COLUMN>::Cast(t.AddColumn(TRUE).target);
    c->type = COLTYPE(6, 4, 0x102, 0, '*');
    c->SetValue(BUFFER((char*)"\x01\x02\x03\x04", 4));
    STREAMBUF w(1024);
    w.SetForWrite();
    w << *c;
    std::string bytes(w.area.data, w.Used());
    // The column's body as a big-endian writer frames it: the prefix, then
    // after three empty names and the attributes, three types of four u16.
    size_t body = bytes.find("COLa");
    ASSERT_NE(std::string::npos, body);
    body += 8;
    ASSERT_EQ(std::string("\x80\x00\x00\x00", 4), bytes.substr(body, 4));
    bytes.replace(body, 6, std::string("\x88\x00\x00\x00\x00", 5) + bytes[body + 4]);
    for (size_t type = body + 6 + 3 + 14; type < body + 6 + 3 + 14 + 27; type += 9)
        for (size_t at = type; at < type + 8; at += 2) std::swap(bytes[at], bytes[at + 1]);
    // The value's item as a big-endian writer frames it.
    const std::string item("\x80\x00\x00\x04\x04\x00" "\x01\x02\x03\x04", 10);
    size_t at = bytes.find(item);
    ASSERT_NE(std::string::npos, at);
    bytes.replace(at, 6, std::string("\x88\x00\x04\x00\x00\x04", 6));
    COLUMN back(&t, FALSE);
    STREAMBUF s;
    s.BufSet(BUFFER(&bytes[0], (long)bytes.size()));
    s.cursor = BUFFER(&bytes[0], (long)bytes.size());
    s >> back;
    s.BufSet(BUFFER());
    EXPECT_EQ(0, back.streamStatus);
    EXPECT_EQ(6, back.type.code);
    EXPECT_EQ(4, back.type.length);
    EXPECT_EQ(0x102, back.type.size2);
    EXPECT_EQ('*', back.type.fill);
    EXPECT_EQ(2, back.type2.code);
    ASSERT_NE(nullptr, back.value);
    EXPECT_EQ(std::string("\x04\x03\x02\x01", 4), Get(back.value));
}

namespace {

std::string Record(const std::string& bytes) {
    unsigned long n = (unsigned long)bytes.size();
    return std::string{(char)n, (char)(n >> 8), (char)(n >> 16), (char)(n >> 24)} + bytes;
}

}  // namespace

TEST(TableStream, FieldsThroughADestinationGoThroughItsRecords) {
    OneField t;
    std::string value = Pattern(300);
    Set(t.field, value);
    FILESTREAM out;
    ASSERT_EQ(0, out.OpenStream("field.dat", 128, IOMODE_WRITE));
    out.buffer.SetForWrite();
    out.buffer.CopyIn("abc", 3);  // pending bytes go out first
    out << *t.field;
    EXPECT_EQ(0, out.CloseStream());
    EXPECT_EQ(Record("abc") + Record(value.substr(0, 128)) + Record(value.substr(128, 128)) + Record(value.substr(256)),
              qvtest::FileText("field.dat"));

    FILESTREAM in;
    ASSERT_EQ(0, in.OpenStream("field.dat", 128, IOMODE_READ));
    ASSERT_EQ(0, in.ReadBuffer());
    in.buffer.cursor.length = 0;  // the "abc" record is not the field's
    FIELD* back = CHAIN<FIELD>::Cast(t.row->AddField(t.column).target);
    Set(back, std::string(300, ' '));  // reads as many bytes as it holds
    in >> *back;
    EXPECT_EQ(0, in.status);
    EXPECT_EQ(value, Get(back));
    in >> *back;  // nothing left: cut short, the value stays
    EXPECT_EQ(value, Get(back));
    EXPECT_EQ(FILE_BADRECORD, in.CloseStream());
}

TEST(TableStream, LargeFieldsThroughADestinationAsRawBytes) {
    for (unsigned short type : {48, 49}) {
        SCOPED_TRACE(type);
        OneField t(type);
        std::string value = Pattern(6000);
        Set(t.field, value);
        FILESTREAM out;
        ASSERT_EQ(0, out.OpenStream("large.dat", 128, IOMODE_WRITE));
        out << *t.field;
        EXPECT_EQ(0, out.CloseStream());
        EXPECT_EQ(value, qvtest::FileText("large.dat"));

        // Let go of the bytes, keep the length, and read them back.
        t.field->FreeData(TRUE);
        EXPECT_EQ(6000, t.field->DataLength());
        char probe[8];
        EXPECT_EQ(0, t.field->GetData(BUFFER(probe, sizeof probe), FALSE));
        EXPECT_EQ(-1, t.field->CompareDataBuffer(BUFFER(probe, 1), 0));
        FILESTREAM in;
        ASSERT_EQ(0, in.OpenStream("large.dat", 128, IOMODE_READ));
        in >> *t.field;
        EXPECT_EQ(0, in.CloseStream());
        EXPECT_EQ(value, Get(t.field));
        // Without its bytes the value cannot travel in a row, in memory or to a file.
        t.field->FreeData(TRUE);
        STREAMBUF s(8192);
        s.SetForWrite();
        s << *t.row;
        EXPECT_NE(0, t.row->streamStatus);
        t.row->streamStatus = 0;
        ASSERT_EQ(0, out.OpenStream("large.dat", 128, IOMODE_WRITE));
        out << *t.row;
        EXPECT_NE(0, t.row->streamStatus);
        out.CloseStream();
    }
}
