#include "TimeStamp.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "SpControl.h"

namespace {

TIMESTAMP::NowSource nowSource = nullptr;

const char* const dayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const monthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                    "July",    "August",   "September", "October", "November", "December"};

// A name matches when the word is at least 3 letters long and begins it
// (any case); returns the name's value (1-based) or 0.
int LookUpName(const char* const* names, int count, const char* word, int wordLen) {
    if (wordLen < 3) return 0;
    for (int i = 0; i < count; ++i) {
        int nameLen = static_cast<int>(std::strlen(names[i]));
        if (wordLen > nameLen) continue;
        int k = 0;
        while (k < wordLen && std::toupper(static_cast<unsigned char>(word[k])) ==
                                  std::toupper(static_cast<unsigned char>(names[i][k])))
            ++k;
        if (k == wordLen) return i + 1;
    }
    return 0;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

void SkipBlanks(const char*& p) {
    while (IsBlank(*p)) ++p;
}

// Copies the next word (after blanks, up to a blank or one of `ends`) upper-cased,
// at most 15 characters kept; returns its whole length.
int ScanWord(const char*& p, char (&out)[16], const char* ends) {
    SkipBlanks(p);
    int n = 0;
    while (*p && !IsBlank(*p) && !std::strchr(ends, *p)) {
        if (n < 15) out[n] = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
        ++n;
        ++p;
    }
    out[n < 15 ? n : 15] = 0;
    return n;
}

// A decimal number after blanks; false when there are no digits.
bool ScanNumber(const char*& p, long& value) {
    SkipBlanks(p);
    if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
    long v = 0;
    while (std::isdigit(static_cast<unsigned char>(*p))) {
        if (v < 100000000L) v = v * 10 + (*p - '0');
        ++p;
    }
    value = v;
    return true;
}

long long DaysFromCivil(long y, long m, long d) {
    y -= m <= 2;
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<long long>(era) * 146097 + doe - 719468;
}

void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long doe = static_cast<long>(z - era * 146097);
    long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

unsigned long FitSeconds(long long t) {
    if (t <= 0 || t > 0xFFFFFFFFLL) return 0;
    return static_cast<unsigned long>(t);
}

bool BreakLocal(unsigned long t, std::tm& out) {
    std::time_t tt = static_cast<std::time_t>(t);
    std::tm* tm = std::localtime(&tt);
    if (!tm) return false;
    out = *tm;
    return true;
}

bool BreakUniversal(unsigned long t, std::tm& out) {
    std::memset(&out, 0, sizeof out);
    long long days = static_cast<long long>(t / 86400UL);
    unsigned long rest = t % 86400UL;
    int y, m, d;
    CivilFromDays(days, y, m, d);
    out.tm_year = y - 1900;
    out.tm_mon = m - 1;
    out.tm_mday = d;
    out.tm_hour = static_cast<int>(rest / 3600);
    out.tm_min = static_cast<int>(rest / 60 % 60);
    out.tm_sec = static_cast<int>(rest % 60);
    out.tm_wday = static_cast<int>((days + 4) % 7);  // 1970-01-01 was a Thursday
    return true;
}

// Local calendar fields to seconds; the runtime decides daylight saving for the date.
unsigned long MakeLocal(std::tm tm) {
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return 0;
    return FitSeconds(static_cast<long long>(t));
}

}  // namespace

unsigned long TIMESTAMP::Now() {
    if (nowSource) return nowSource();
    return static_cast<unsigned long>(std::time(nullptr));
}

void TIMESTAMP::SetNowSource(NowSource source) { nowSource = source; }

TIMESTAMP::TIMESTAMP(const char* text, TIMEFORMAT format, BBOOL nextOccurrence) : seconds(0) {
    if (format == TF_MIME)
        seconds = parseMIME(text);
    else if (format == TF_DAYHHMM)
        seconds = parseDAYHHMM(text, nextOccurrence);
}

TIMESTAMP::TIMESTAMP(TIMECODE code) : seconds(FromCode(code)) {}

unsigned long TIMESTAMP::FromCode(TIMECODE code) {
    switch (code) {
    case TC_EARLIEST: return 1;
    case TC_LATEST: return 0xFFFFFFFFUL;
    case TC_NOW: return Now();
    case TC_MIDNIGHT: {
        std::tm tm;
        if (!BreakLocal(Now(), tm)) return 0;
        tm.tm_mday += 1;
        tm.tm_hour = tm.tm_min = tm.tm_sec = 0;
        return MakeLocal(tm);
    }
    default: return 0;
    }
}

void TIMESTAMP::Initialize(void*) {
    std::tm tm;
    BBOOL dst = BreakLocal(Now(), tm) && tm.tm_isdst > 0;
    if (_pSupport) _pSupport->daylightSaving = dst;
}

char* TIMESTAMP::String(char* out, TIMEFORMAT format, BBOOL gmt) const {
    out[0] = 0;
    std::tm tm;
    if (!(gmt ? BreakUniversal(seconds, tm) : BreakLocal(seconds, tm))) return out;
    const char* suffix = gmt ? " GMT" : "";
    if (format == TF_MIME)
        std::sprintf(out, "%3.3s, %02d %3.3s %4d %02d:%02d:%02d%s", dayNames[tm.tm_wday], tm.tm_mday,
                     monthNames[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec, suffix);
    else if (format == TF_RFC850)
        std::sprintf(out, "%s, %02d-%3.3s-%02d %02d:%02d:%02d%s", dayNames[tm.tm_wday], tm.tm_mday,
                     monthNames[tm.tm_mon], (tm.tm_year + 1900) % 100, tm.tm_hour, tm.tm_min, tm.tm_sec, suffix);
    return out;
}

unsigned long TIMESTAMP::parseMIME(const char* text) {
    if (!text) return 0;
    const char* p = text;
    SkipBlanks(p);
    const char* sep = p;
    while (*sep && *sep != ' ' && *sep != ',') ++sep;
    if (!*sep) return 0;
    p = sep + 1;

    char word[16];
    int len = ScanWord(p, word, "-");
    if (len == 0) return 0;

    long day = 0, month = 0, year = 0;
    bool yearFirst = false;
    if (!std::isdigit(static_cast<unsigned char>(word[0]))) {
        // asctime: "Sun Nov  6 08:49:37 1994", local time
        month = LookUpName(monthNames, 12, word, len);
        if (month == 0 || !ScanNumber(p, day)) return 0;
    } else {
        // RFC 1123 "06 Nov 1994" or RFC 850 "06-Nov-94", universal time
        const char* w = word;
        if (!ScanNumber(w, day) || *w) return 0;
        SkipBlanks(p);
        if (*p == '-') ++p;
        len = ScanWord(p, word, "-");
        month = LookUpName(monthNames, 12, word, len);
        if (month == 0) return 0;
        SkipBlanks(p);
        if (*p == '-') ++p;
        if (!ScanNumber(p, year)) return 0;
        // Two-digit years: 70-99 are the 1900s, 0-69 this century.
        if (year < 70)
            year += 2000;
        else if (year < 100)
            year += 1900;
        yearFirst = true;
    }
    if (day < 1 || day > 31) return 0;

    long hours, minutes, secs;
    if (!ScanNumber(p, hours) || *p++ != ':') return 0;
    if (!ScanNumber(p, minutes) || *p++ != ':') return 0;
    if (!ScanNumber(p, secs)) return 0;
    if (hours > 23 || minutes > 59 || secs > 60) return 0;

    if (yearFirst) {
        char zone[16];
        ScanWord(p, zone, "");
        if (std::strcmp(zone, "GMT") != 0) return 0;
        long long days = DaysFromCivil(year, month, day);
        return FitSeconds(days * 86400LL + hours * 3600LL + minutes * 60LL + secs);
    }
    if (!ScanNumber(p, year) || year < 1970) return 0;
    std::tm tm;
    std::memset(&tm, 0, sizeof tm);
    tm.tm_year = static_cast<int>(year - 1900);
    tm.tm_mon = static_cast<int>(month - 1);
    tm.tm_mday = static_cast<int>(day);
    tm.tm_hour = static_cast<int>(hours);
    tm.tm_min = static_cast<int>(minutes);
    tm.tm_sec = static_cast<int>(secs);
    return MakeLocal(tm);
}

unsigned long TIMESTAMP::parseDAYHHMM(const char* text, BBOOL nextOccurrence) {
    if (!text) return 0;
    const char* p = text;
    SkipBlanks(p);
    int namedDay = 0;  // 1 = Sunday
    if (const char* comma = std::strchr(p, ',')) {
        const char* end = comma;
        while (end > p && IsBlank(end[-1])) --end;
        int n = static_cast<int>(end - p);
        if (n > 9) return 0;
        namedDay = LookUpName(dayNames, 7, p, n);
        if (namedDay == 0) return 0;
        p = comma + 1;
    }

    long hours, minutes = 0;
    if (!ScanNumber(p, hours) || hours >= 24) return 0;
    if (*p == ':') {
        ++p;
        if (!std::isdigit(static_cast<unsigned char>(*p)) || !ScanNumber(p, minutes) || minutes > 59) return 0;
    }
    SkipBlanks(p);
    if (*p) {
        char word[16];
        int len = ScanWord(p, word, "");
        SkipBlanks(p);
        if (*p || len != 2) return 0;
        if (std::strcmp(word, "PM") == 0) {
            if (hours < 12) hours += 12;
        } else if (std::strcmp(word, "AM") == 0) {
            if (hours > 12) return 0;
            if (hours == 12) hours = 0;
        } else {
            return 0;
        }
    }

    std::tm now;
    if (!BreakLocal(Now(), now)) return 0;
    int today = now.tm_wday + 1;
    int addDays = 0;
    if (namedDay > today)
        addDays = namedDay - today;
    else if (namedDay != 0 && namedDay < today)
        addDays = 7 - (today - namedDay);
    else if (nextOccurrence && (hours < now.tm_hour || (hours == now.tm_hour && minutes <= now.tm_min)))
        addDays = namedDay ? 7 : 1;

    std::tm tm = now;
    tm.tm_mday += addDays;
    tm.tm_hour = static_cast<int>(hours);
    tm.tm_min = static_cast<int>(minutes);
    tm.tm_sec = 0;
    return MakeLocal(tm);
}
