#pragma once
// Column types, attributes and the column of a table.
#include "BaseItem.h"
#include "QvBase.h"
#include "Streamable.h"

class TABLE;
class FIELD;

const unsigned long COLUMN_TRANSIENT = 0x00080000;
const unsigned long COLUMN_TOFIELD = 0x00040000;

struct COLTYPE {
    unsigned short code;
    unsigned short length;
    unsigned short size2;
    unsigned short size3;
    unsigned char fill;

    COLTYPE() : code(2), length(0), size2(0), size3(0), fill(0) {}
    COLTYPE(unsigned short c, unsigned short len, unsigned short s2, unsigned short s3, unsigned char f)
        : code(c), length(len), size2(s2), size3(s3), fill(f) {}
};


STREAMBUF& operator<<(STREAMBUF& s, const COLTYPE& t);
STREAMBUF& operator>>(STREAMBUF& s, COLTYPE& t);

struct COLATTRS {
    unsigned char attr[12];

    COLATTRS();
    // Stream positions 2, 3, 6, 7, 8, 9, 10 and 11; the others are 0, 1, 0, 0.
    COLATTRS(BBOOL a2, BBOOL a3, BBOOL a6, BBOOL a7, BBOOL a8, BBOOL a9, BBOOL a10, BBOOL a11);
};


STREAMBUF& operator<<(STREAMBUF& s, const COLATTRS& a);
STREAMBUF& operator>>(STREAMBUF& s, COLATTRS& a);

extern const COLTYPE _NULLTYPE;
extern const COLTYPE _ColTypeFixChar;
extern const COLTYPE _ColTypeVarChar;
extern const COLTYPE _ColTypeDateChar;
struct NULLVALUE {
    const char* data;
    int length;
};
extern const NULLVALUE _NullValueList[35];

// Stream flags and the column id (objectId) live in STREAMABLE.
class COLUMN : public STORABLE, public STREAMABLE, public BLOCKED {
public:
    char name[64];
    COLATTRS attributes;
    COLTYPE type;
    TABLE* table;
    FIELD* value;
    BUFFER binding;
    COLTYPE bindingType;
    unsigned long bindingWords[2];
    char dbName[64];
    char dbName2[64];
    COLTYPE type2;
    COLTYPE type3;

    COLUMN();
    COLUMN(TABLE* table, BBOOL assignId);
    COLUMN(TABLE* table, COLUMN* model, BBOOL assignId);
    ~COLUMN() override;

    using BLOCKED::operator new;
    using BLOCKED::operator delete;
    QV_ITEM_IDENTITY(COLUMN, "COLUMN", "COLa")

    BBOOL StreamIn(STREAMBUF& s) override;
    BBOOL StreamOut(STREAMBUF& s) override;
    int ItemStreamSize(BBOOL forPrefix) override;

    unsigned long ColumnID() const { return objectId; }
    void SetName(const char* text);
    // Replaces the attached value by a copy of the given bytes.
    BBOOL SetValue(const BUFFER& data);

private:
    void freeValue();
};
