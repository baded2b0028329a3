#include "Column.h"

#include <cstring>
#include <new>

#include "Field.h"
#include "Table.h"

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
const NULLVALUE _NullValueList[35] = {
    {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {"", 0},     {"", 0},     {kZeros, 2}, {kZeros, 4},
    {"", 0},     {kZeros, 8}, {"", 0},     {"", 0},     {kZeros, 1}, {kZeros, 1}, {kZeros, 1},
    {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1},
    {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1},
    {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1}, {kZeros, 1},
};

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

COLUMN::COLUMN() : flags(0x10000000), objectId(0), streamStatus(0), table(nullptr), value(nullptr), bindingType(), type2(), type3() {
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

