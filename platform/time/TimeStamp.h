#pragma once
// Seconds since 1970-01-01 00:00:00 UTC, with the HTTP date forms, the
// asctime form (read only) and the day-and-time form of schedules.
#include "QvBase.h"

enum TIMEFORMAT {
    TF_MIME = 0,     // RFC 1123 (read: also RFC 850 and asctime)
    TF_DAYHHMM = 1,  // "[day,] hh[:mm] [AM|PM]" (read only)
    TF_RFC850 = 2,   // write only
};

enum TIMECODE {
    TC_NONE = 0,
    TC_EARLIEST = 1,  // the value 1
    TC_LATEST = 2,    // 0xFFFFFFFF
    TC_NOW = 3,
    TC_MIDNIGHT = 4,  // the coming local midnight
};

class TIMESTAMP {
public:
    unsigned long seconds;  // 0 = no time

    TIMESTAMP() : seconds(0) {}
    TIMESTAMP(const TIMESTAMP&) = default;
    TIMESTAMP& operator=(const TIMESTAMP&) = default;
    TIMESTAMP(unsigned long t, int delta) : seconds((t + static_cast<unsigned long>(delta)) & 0xFFFFFFFFUL) {}
    TIMESTAMP(const char* text, TIMEFORMAT format, BBOOL nextOccurrence = 0);
    explicit TIMESTAMP(TIMECODE code);

    operator unsigned long() const { return seconds; }

    char* String(char* out, TIMEFORMAT format, BBOOL gmt) const;
    static unsigned long parseMIME(const char* text);
    static unsigned long parseDAYHHMM(const char* text, BBOOL nextOccurrence);
    static unsigned long FromCode(TIMECODE code);
    // Refreshes the library's daylight-saving flag from the local time now.
    static void Initialize(void* unused = nullptr);

    // The clock every time of the library reads; tests install a fixed one.
    typedef unsigned long (*NowSource)();
    static unsigned long Now();
    static void SetNowSource(NowSource source);  // null: the system clock
};
