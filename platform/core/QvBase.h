#pragma once
// Small types shared by every interface of the library, and the package
// initialiser that each translation unit carries so the library is set up
// before its own static objects and torn down after them.
#include <cstddef>
#include <cstdint>

typedef int BBOOL;  // 32-bit boolean: 0 false, anything else true
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Four characters read in memory order make a 32-bit tag (little-endian).
constexpr unsigned long QvTag(const char (&s)[5]) {
    return (unsigned long)(unsigned char)s[0] | ((unsigned long)(unsigned char)s[1] << 8) |
           ((unsigned long)(unsigned char)s[2] << 16) | ((unsigned long)(unsigned char)s[3] << 24);
}

// Longest significant key of chain scans and balanced trees (the scan buffer is 72).
const int QV_MAX_KEY = 69;
const int QV_KEY_BUFFER = 72;

class BASEITEM;
class STORABLE;
class STREAMABLE;
class bBLOCKED;
class BLOCKED;
class bSPOINTER;
class BUFFER;
class BLOBDEF;
class SPCONTROL;
class MEMORYPOOL;
class ALLOCATOR;
class BUDDYSYSTEM;
class MSEMAPHORE;
class ESEMAPHORE;
class PGMMODULE;
class PGMTHREAD;
class bCHAIN;
class bCITERATOR;
class bBTREE;
template <class T> class CHAIN;
template <class T> class CITERATOR;
template <class T> class BTREE;
class TRACETABLE;
class BUFFERPOOL;
class TIMERCONTROL;
class ROW;
class TABLE;

// Base of every package initialiser.
class STATIC_INIT {};

// The platform package: the first instance sets the library up, the last one
// tears it down. Every source module gets one instance through this header.
class SPCLASS_INIT : public STATIC_INIT {
public:
    SPCLASS_INIT();
    ~SPCLASS_INIT();
    SPCLASS_INIT(const SPCLASS_INIT&) = delete;
    SPCLASS_INIT& operator=(const SPCLASS_INIT&) = delete;
    static long InitCount;
};

static SPCLASS_INIT qvSpClassInit;
