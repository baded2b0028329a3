#include "Column.h"

#include <cstring>
#include <new>

#include "ByteOrder.h"
#include "Field.h"
#include "Table.h"
#include "TableIO.h"

using namespace tableio;

namespace {

void copyName(char* dst, const char* src) {
    size_t n = src ? strnlen(src, 63) : 0;
    std::memcpy(dst, src, n);
    dst[n] = 0;
}

}  // namespace

const COLTYPE _NULLTYPE(0, 0, 0, 0, 0);
const COLTYPE _ColTypeFixChar(3, 63, 0, 0, ' ');
const COLTYPE _ColTypeVarChar(4, 0, 0, 0, 0);
const COLTYPE _ColTypeDateChar(7, 10, 10, 0, ' ');

static const char kZeros[8] = {0};
static const int kColumnBodyEstimate = 384;
const NULLVALUE _NullValueList[35] = {
    {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {"", 0},     {"", 0},     {kZeros, 2}, {kZeros, 4},
    {"", 0},     {kZeros, 8}, {"", 0},     {"", 0},     {kZeros, 1}, {kZeros, 1}, {kZeros, 1},
    {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1},
    {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1},
    {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1},
};

STREAMBUF& operator<<(STREAMBUF& s, const COLTYPE& t) {
    if (s.cursor.length < 9) return s;
    unsigned short v[4] = {t.code, t.length, t.size2, t.size3};
    for (unsigned short x : v) {
        unsigned char b[2];
        PutLe16(b, x);
        s.CopyIn(b, 2);
    }
    s.CopyIn(&t.fill, 1);
    return s;
}

STREAMBUF& operator>>(STREAMBUF& s, COLTYPE& t) {
    unsigned char b[9];
    if (s.cursor.length < 9) {
        t = _NULLTYPE;
        return s;
    }
    s.CopyOut(b, 9);
    unsigned short v[4];
    for (int i = 0; i < 4; ++i) v[i] = (unsigned short)GetStreamU16(b + 2 * i, s.flags);
    t = COLTYPE(v[0], v[1], v[2], v[3], b[8]);
    return s;
}

COLATTRS::COLATTRS() {
    static const unsigned char defaults[12] = {0, 1, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0};
    std::memcpy(attr, defaults, sizeof attr);
}

COLATTRS::COLATTRS(BBOOL a2, BBOOL a3, BBOOL a6, BBOOL a7, BBOOL a8, BBOOL a9, BBOOL a10, BBOOL a11) {
    attr[0] = 0;
    attr[1] = a2 ? 1 : 0;
    attr[2] = a3 ? 1 : 0;
    attr[3] = 1;
    attr[4] = 0;
    attr[5] = a6 ? 1 : 0;
    attr[6] = a7 ? 1 : 0;
    attr[7] = a8 ? 1 : 0;
    attr[8] = a9 ? 1 : 0;
    attr[9] = a10 ? 1 : 0;
    attr[10] = a11 ? 1 : 0;
    attr[11] = 0;
}

STREAMBUF& operator<<(STREAMBUF& s, const COLATTRS& a) {
    if (s.cursor.length < 14) return s;
    s.CopyIn(a.attr, 12);
    s.CopyIn(kZeros, 2);
    return s;
}

STREAMBUF& operator>>(STREAMBUF& s, COLATTRS& a) {
    if (s.cursor.length < 14) {
        a = COLATTRS();
        return s;
    }
    unsigned char b[14];
    s.CopyOut(b, 14);
    for (int i = 0; i < 12; ++i) a.attr[i] = b[i] ? 1 : 0;
    return s;
}

COLUMN::COLUMN() : STREAMABLE(SPF_CLASSTAG, 0), table(nullptr), value(nullptr), bindingType(), type2(), type3() {
    name[0] = dbName[0] = dbName2[0] = 0;
    bindingWords[0] = bindingWords[1] = 0;
}

COLUMN::COLUMN(TABLE* t, BBOOL assignId) : COLUMN() {
    table = t;
    if (assignId && t) objectId = t->GetColumnID();
}

COLUMN::COLUMN(TABLE* t, COLUMN* model, BBOOL assignId) : COLUMN(t, assignId) {
    if (!model) return;
    std::memcpy(name, model->name, sizeof name);
    attributes = model->attributes;
    type = model->type;
    type2 = model->type2;
    type3 = model->type3;
    std::memcpy(dbName, model->dbName, sizeof dbName);
    std::memcpy(dbName2, model->dbName2, sizeof dbName2);
    if (model->value) {
        char small[FIELD_INLINE_SIZE];
        int n = model->value->DataLength();
        char* tmp = n <= (int)sizeof small ? small : new (std::nothrow) char[n];
        if (tmp) {
            model->value->GetData(BUFFER(tmp, n), FALSE);
            SetValue(BUFFER(tmp, n));
            if (tmp != small) delete[] tmp;
        }
    }
}

COLUMN::~COLUMN() { freeValue(); }

void COLUMN::freeValue() {
    if (!value) return;
    if (table)
        value->freeobj(table->fieldAllocator);
    value = nullptr;
}

void COLUMN::SetName(const char* text) { copyName(name, text); }

BBOOL COLUMN::SetValue(const BUFFER& data) {
    freeValue();
    if (!table) return FALSE;
    value = new (table->fieldAllocator) FIELD(table);
    if (!value) return FALSE;
    value->SetColumn(this);
    value->SetData(data);
    return TRUE;
}


int COLUMN::ItemStreamSize(BBOOL) {
    int n = kColumnBodyEstimate + SPREFIX_MEDIUM;
    if (value) n += SPREFIX_LONG + value->DataLength();
    return n;
}

BBOOL COLUMN::StreamOut(STREAMBUF& s) {
    s << BEGINDI(0, 0, kColumnBodyEstimate);
    PutText(s, name);
    PutText(s, dbName);
    PutText(s, dbName2);
    s << attributes << type << type2 << type3;
    unsigned char has = value ? 1 : 0;
    s.CopyIn(&has, 1);
    s << ENDDI();
    if (value) {
        value->columnId = ColumnID();
        int rc = value->WriteItem(s);
        if (rc && !streamStatus) streamStatus = rc;
    }
    return streamStatus == 0;
}

BBOOL COLUMN::StreamIn(STREAMBUF& s) {
    s >> BEGINDI();
    if (Unreadable(s)) {
        s >> ENDDI();
        if (!streamStatus) streamStatus = 9996;
        return FALSE;
    }
    GetText(s, name);
    GetText(s, dbName);
    GetText(s, dbName2);
    s >> attributes >> type >> type2 >> type3;
    unsigned char has = 0;
    s.CopyOut(&has, 1);
    s >> ENDDI();
    freeValue();
    if (!has) return streamStatus == 0;
    s >> BEGINDI();
    if (Unreadable(s)) {
        s >> ENDDI();
        if (!streamStatus) streamStatus = 9996;
        return FALSE;
    }
    bool swap = Swapped(s);
    if (table) value = new (table->fieldAllocator) FIELD(table);
    if (!value) {
        s >> ENDDI();
        if (!streamStatus) streamStatus = -1;
        return FALSE;
    }
    value->columnId = ColumnID();
    int rc = value->ReadItem(s);
    s >> ENDDI();
    if (rc) {
        if (!streamStatus) streamStatus = rc;
    } else if (swap && (type.code == 5 || type.code == 6) && !value->IsLarge()) {
        int n = type.code == 5 ? 2 : 4;
        if (value->length >= n) SwapValue(value->data, n);
    }
    return streamStatus == 0;
}
