#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "ChildProcess.h"
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
    } cases[] = {{0, 0}, {80, 0}, {81, 1}, {204, 1}, {205, 2}, {328, 2}, {329, 3}, {1000, 8}};
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
    EXPECT_EQ(before + 4, t.FreeCells());
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

