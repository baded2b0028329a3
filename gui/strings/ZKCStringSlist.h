#pragma once
// A list of library strings, kept by value in the order they were added.
#include "ZKCString.h"
#include "ZKTPtrList.h"

class ZKCStringSlist : public ZKTValSlist<ZKCString> {};
