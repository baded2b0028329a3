#pragma once
// Keyword tables: rows of 84 bytes searched by name (with optional
// abbreviations) or by value. A table ends with a row whose valid is 0.
#include <cstdint>

#include "QvBase.h"

struct LOOKUPROW {
    char name[64];       // the key, at most 63 characters
    int32_t minAbbrev;   // shortest accepted abbreviation; 0 = whole name only
    int32_t valid;       // 0 only in the end row
    intptr_t value;      // 0 in the end row
    intptr_t value2;     // pointer-sized: some tables link to texts or other tables
    intptr_t value3;
};
static_assert(sizeof(void*) != 4 || sizeof(LOOKUPROW) == 84, "look-up rows are 84 bytes");

// First row matching key, else the table's end row (never null).
LOOKUPROW* _LookUp(LOOKUPROW* table, const char* key, BBOOL allowAbbrev = 0, BBOOL ignoreCase = 0);
// First row whose value equals, else the end row.
LOOKUPROW* _LookUpValue(LOOKUPROW* table, intptr_t value);
// 1 or 0 for a yes/no word (exact case), 255 for anything else.
int _CheckYesNo(const char* text, BBOOL allowAbbrev = 0);

extern LOOKUPROW _YesNoTable[];
extern LOOKUPROW _DayNameTable[];    // "Sunday".."Saturday" = 1..7, abbreviations from 3 letters
extern LOOKUPROW _MonthNameTable[];  // "January".."December" = 1..12, abbreviations from 3 letters
