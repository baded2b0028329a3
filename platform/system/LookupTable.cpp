#include "LookupTable.h"

#include <cstring>

namespace {

LOOKUPROW kEmpty[1] = {};

bool SameChars(const char* a, const char* b, size_t n, bool ignoreCase) {
    for (size_t i = 0; i < n; i++) {
        char x = a[i], y = b[i];
        if (ignoreCase) {
            if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
            if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
        }
        if (x != y) return false;
    }
    return true;
}

}  // namespace

LOOKUPROW _YesNoTable[] = {
    {"ON", 0, 1, 1, 0, 0},   {"OFF", 0, 1, 0, 0, 0},   {"YES", 1, 1, 1, 0, 0},
    {"NO", 1, 1, 0, 0, 0},   {"TRUE", 1, 1, 1, 0, 0},  {"FALSE", 1, 1, 0, 0, 0},
    {"1", 0, 1, 1, 0, 0},    {"0", 0, 1, 0, 0, 0},     {"", 0, 0, 0, 0, 0},
};

LOOKUPROW _DayNameTable[] = {
    {"Sunday", 3, 1, 1, 0, 0},   {"Monday", 3, 1, 2, 0, 0}, {"Tuesday", 3, 1, 3, 0, 0},
    {"Wednesday", 3, 1, 4, 0, 0}, {"Thursday", 3, 1, 5, 0, 0}, {"Friday", 3, 1, 6, 0, 0},
    {"Saturday", 3, 1, 7, 0, 0},  {"", 0, 0, 0, 0, 0},
};

LOOKUPROW _MonthNameTable[] = {
    {"January", 3, 1, 1, 0, 0},   {"February", 3, 1, 2, 0, 0}, {"March", 3, 1, 3, 0, 0},
    {"April", 3, 1, 4, 0, 0},     {"May", 3, 1, 5, 0, 0},      {"June", 3, 1, 6, 0, 0},
    {"July", 3, 1, 7, 0, 0},      {"August", 3, 1, 8, 0, 0},   {"September", 3, 1, 9, 0, 0},
    {"October", 3, 1, 10, 0, 0},  {"November", 3, 1, 11, 0, 0}, {"December", 3, 1, 12, 0, 0},
    {"", 0, 0, 0, 0, 0},
};

LOOKUPROW* _LookUp(LOOKUPROW* table, const char* key, BBOOL allowAbbrev, BBOOL ignoreCase) {
    if (!table) return kEmpty;
    LOOKUPROW* row = table;
    for (; row->valid; row++) {
        if (!key) continue;
        size_t keyLen = std::strlen(key);
        size_t nameLen = strnlen(row->name, sizeof row->name);
        if (keyLen > nameLen) continue;
        size_t n = (allowAbbrev && row->minAbbrev != 0) ? keyLen : nameLen;
        if (long(n) < row->minAbbrev) continue;
        if (SameChars(key, row->name, n, ignoreCase != 0)) return row;
    }
    return row;
}

LOOKUPROW* _LookUpValue(LOOKUPROW* table, intptr_t value) {
    if (!table) return kEmpty;
    LOOKUPROW* row = table;
    while (row->valid && row->value != value) row++;
    return row;
}

int _CheckYesNo(const char* text, BBOOL allowAbbrev) {
    LOOKUPROW* row = _LookUp(_YesNoTable, text, allowAbbrev, 0);
    return row->valid ? int(row->value) : 255;
}
