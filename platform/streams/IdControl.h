#pragma once
// Hands out 32-bit object ids and saves its counter in a stream.
#include "BaseItem.h"
#include "Chain.h"
#include "Streamable.h"

class IDNUMBER {
public:
    unsigned long id;  // 0 = no id

    IDNUMBER() : id(0) {}
    IDNUMBER(unsigned long v) : id(v) {}
    operator unsigned long() const { return id; }
};

// Item type of IDCONTROL's group chain; nothing in the library adds one.
class IDCTLGROUP : public STORABLE {
public:
    QV_ITEM_IDENTITY(IDCTLGROUP, "IDCTLGROUP", "IDCg")
};

class IDCONTROL : public STORABLE, public STREAMABLE {
public:
    long base;             // kept and streamed only
    unsigned long nextId;  // next id to hand out
    unsigned long spare;   // kept and streamed, always 0 here
    CHAIN<IDCTLGROUP> groups;

    explicit IDCONTROL(int base = 0);
    ~IDCONTROL() override;

    unsigned long Assign(IDNUMBER& n);
    void Free(IDNUMBER& n);
    void Reserve(IDNUMBER& n);

    BBOOL StreamIn(STREAMBUF& s) override;
    BBOOL StreamOut(STREAMBUF& s) override;

    QV_ITEM_IDENTITY(IDCONTROL, "IDCONTROL", "IDCa")
};
