#include "zExchangeFmt.h"

#include <cstring>

#include "ZKCString.h"

zExchangeFmt::zExchangeFmt(zExchangeType kind) : kind_(kind), number_(unsigned(kind)) {}

zExchangeFmt::zExchangeFmt(unsigned number)
    : kind_(number >= 1 && number <= 9 ? zExchangeType(number) : zExchangeUser), number_(number) {}

zExchangeFmt::zExchangeFmt(const char* name) : kind_(zExchangeUser), number_(RegisterClipboardFormatA(name)) {}

zExchangeFmt::zExchangeFmt(const ZKCString& name) : zExchangeFmt(name.data()) {}

bool zExchangeFmt::operator==(const char* name) const {
    if (kind_ != zExchangeUser || !name) return false;
    char buf[50];
    int n = GetClipboardFormatNameA(number_, buf, sizeof buf);
    return n > 0 && std::strcmp(buf, name) == 0;
}

bool zExchangeFmt::operator==(const ZKCString& name) const { return *this == name.data(); }
