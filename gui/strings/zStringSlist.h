#pragma once
// A list of framework strings, kept by value in the order they were added.
#include "ZKTPtrList.h"
#include "zString.h"

class zStringSlist : public ZKTValSlist<zString> {};
