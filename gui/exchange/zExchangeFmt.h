#pragma once
// A clipboard format: one of the predefined kinds (1 to 9, the Windows
// clipboard numbers) or a format registered by name (kind 10).
#include "QvWindows.h"

class ZKCString;

enum zExchangeType {
    zExchangeText = 1,
    zExchangeBitmap = 2,
    zExchangeMetafile = 3,
    zExchangeSylk = 4,
    zExchangeDif = 5,
    zExchangeTiff = 6,
    zExchangeOemText = 7,
    zExchangeDib = 8,
    zExchangePalette = 9,
    zExchangeUser = 10
};

class zExchangeFmt {
public:
    zExchangeFmt(zExchangeType kind);
    // 1 to 9 are the predefined kinds; any other number counts as registered.
    explicit zExchangeFmt(unsigned number);
    // Registers the name (or finds it registered) with Windows.
    explicit zExchangeFmt(const char* name);
    explicit zExchangeFmt(const ZKCString& name);

    unsigned id() const { return number_; }
    zExchangeType kind() const { return kind_; }

    bool operator==(const zExchangeFmt& o) const { return number_ == o.number_; }
    bool operator==(zExchangeType t) const { return number_ == unsigned(t); }
    // True only for a registered format of exactly this name.
    bool operator==(const char* name) const;
    bool operator==(const ZKCString& name) const;
    bool operator!=(const zExchangeFmt& o) const { return !(*this == o); }

private:
    zExchangeType kind_;
    unsigned number_;
};
