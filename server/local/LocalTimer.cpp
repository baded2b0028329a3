#include "LocalTimer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ReqFields.h"

namespace {

const long kDayMinutes = 1440;
const long kWeekMinutes = 10080;

BBOOL isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Schedule words end at a blank; the segment ends at the first ';'.
class WORDS {
public:
    explicit WORDS(const char* text) : at(text ? text : "") {}
    // The next word into out (size LOCALTIMER_WORD); FALSE at the segment's
    // end. A word too long for the field sets `tooLong`.
    BBOOL Next(char* out) {
        while (isBlank(*at)) ++at;
        if (*at == 0 || *at == ';') return FALSE;
        const char* begin = at;
        while (*at && *at != ';' && !isBlank(*at)) ++at;
        size_t n = static_cast<size_t>(at - begin);
        if (n >= static_cast<size_t>(LOCALTIMER_WORD)) {
            tooLong = TRUE;
            n = LOCALTIMER_WORD - 1;
        }
        memcpy(out, begin, n);
        out[n] = 0;
        return TRUE;
    }
    BBOOL tooLong = FALSE;

private:
    const char* at;
};

BBOOL startsWith(const char* word, const char* keyword) { return strncmp(word, keyword, strlen(keyword)) == 0; }

BBOOL isImmediate(const char* word) { return strcmp(word, "IMMEDIATE") == 0; }

// A schedule time: "IMMEDIATE" is now, else the next occurrence of a day and time.
unsigned long parseTime(const char* word) {
    if (isImmediate(word)) return TIMESTAMP::Now();
    return TIMESTAMP(word, TF_DAYHHMM, TRUE).seconds;
}

// -1 when the text is a time of day rather than minutes.
long parseInt(const char* text) {
    if (strchr(text, ':') || strchr(text, ',')) return -1;
    return atol(text);
}

void copyText(char* out, int size, const char* text) {
    if (size <= 0) return;
    snprintf(out, static_cast<size_t>(size), "%s", text);
}

}  // namespace

LOCALTIMER::LOCALTIMER(const char* command)
    : STREAMABLE(0, 0), forever(FALSE), startText{}, repeatText{}, endText{}, repeatMinutes(0), count(0) {
    if (!command || !IsTimedReqCmd(command)) {
        due.seconds = TIMESTAMP::Now();
        return;
    }
    due.seconds = 0;
    if (!parseTimedReqCmd(command, startText, repeatText, endText)) return;
    unsigned long start = parseTime(startText);
    if (!start) return;
    if (endText[0] && !repeatText[0]) return;
    if (repeatText[0]) repeatMinutes = strcmp(repeatText, "EVERYDAY") == 0 ? 0 : parseInt(repeatText);
    if (strncmp(endText, "COUNT ", 6) == 0) {
        count = atol(endText + 6);
        if (count < 1) return;
    } else if (endText[0]) {
        until.seconds = parseTime(endText);
        if (!until.seconds) return;
    } else if (repeatText[0]) {
        forever = TRUE;
    }
    due.seconds = start;
}

BBOOL LOCALTIMER::IsTimedReqCmd(const char* text) {
    if (!text) return FALSE;
    while (isBlank(*text)) ++text;
    return startsWith(text, "AT");
}

BBOOL LOCALTIMER::parseTimedReqCmd(const char* text, char* start, char* repeat, char* end) {
    char word[LOCALTIMER_WORD];
    start[0] = repeat[0] = end[0] = 0;
    WORDS words(text);
    if (!words.Next(word) || !startsWith(word, "AT")) return FALSE;
    if (!words.Next(start)) return FALSE;
    if (words.Next(word)) {
        if (startsWith(word, "REPEAT")) {
            if (!words.Next(repeat)) return FALSE;
        } else if (startsWith(word, "EVERYDAY")) {
            copyText(repeat, LOCALTIMER_WORD, "EVERYDAY");
        } else {
            return FALSE;
        }
        if (words.Next(word)) {
            if (startsWith(word, "UNTIL")) {
                if (!words.Next(end)) return FALSE;
            } else if (startsWith(word, "COUNT")) {
                char n[LOCALTIMER_WORD];
                if (!words.Next(n)) return FALSE;
                snprintf(end, LOCALTIMER_WORD, "COUNT %.12s", n);
            } else {
                return FALSE;
            }
            if (words.Next(word)) return FALSE;  // nothing may follow the end
        }
    }
    return !words.tooLong;
}

// Minutes between runs; time-of-day repeats run daily, or weekly on a named day.
long LOCALTIMER::periodMinutes() const {
    if (repeatMinutes >= 1) return repeatMinutes;
    const char* when = strcmp(repeatText, "EVERYDAY") == 0 ? startText : repeatText;
    return strchr(when, ',') ? kWeekMinutes : kDayMinutes;
}

BBOOL LOCALTIMER::expiredRepeatTimer(BBOOL resuming) {
    if (forever) return FALSE;
    unsigned long now = TIMESTAMP::Now();
    if (count >= 1 && resuming) {
        if (due.seconds > now) return FALSE;
        long missed = static_cast<long>(((now - due.seconds) / 60) / static_cast<unsigned long>(periodMinutes()));
        if (missed >= count) {
            count = 0;
            return TRUE;
        }
        count -= missed;
        return count == 0;
    }
    if (count >= 1) return --count == 0;
    if (!until.seconds) return TRUE;
    return now >= until.seconds;
}

// The next occurrence of the schedule's time of day; a start of IMMEDIATE
// keeps the day's grid of the first run instead.
BBOOL LOCALTIMER::nextTimeOfDay() {
    const char* when = strcmp(repeatText, "EVERYDAY") == 0 ? startText : repeatText;
    unsigned long next = isImmediate(when) ? 0 : TIMESTAMP(when, TF_DAYHHMM, TRUE).seconds;
    unsigned long now = TIMESTAMP::Now();
    if (!next) {
        unsigned long period = static_cast<unsigned long>(periodMinutes()) * 60;
        unsigned long k = due.seconds < now ? (now - due.seconds) / period : 0;
        next = due.seconds + (k + 1) * period;
    }
    due.seconds = next;
    return due.seconds != 0;
}

BBOOL LOCALTIMER::ResetNextTimer(BBOOL resuming) {
    unsigned long now = TIMESTAMP::Now();
    if (resuming && due.seconds > now) {
        if (!forever && count < 1 && !until.seconds) count = 1;
        return TRUE;
    }
    if (!forever && expiredRepeatTimer(resuming)) return FALSE;
    if (repeatMinutes >= 1) {
        unsigned long period = static_cast<unsigned long>(repeatMinutes) * 60;
        unsigned long k = resuming && now > due.seconds ? (now - due.seconds) / period : 0;
        due.seconds += (k + 1) * period;
        return TRUE;
    }
    if (!repeatText[0]) return FALSE;
    return nextTimeOfDay();
}

void LOCALTIMER::GetStart(char* out, int size) const {
    if (!IsQueued()) {
        copyText(out, size, startText);
        return;
    }
    char text[64];
    copyText(out, size, due.String(text, TF_MIME, FALSE));
}

void LOCALTIMER::GetFrequency(char* out, int size) const {
    char text[32];
    if (repeatMinutes == 0 || repeatMinutes == -1) {
        copyText(out, size, repeatText);
        return;
    }
    if (repeatMinutes == kDayMinutes) copyText(out, size, "daily");
    else if (repeatMinutes == kWeekMinutes) copyText(out, size, "weekly");
    else {
        snprintf(text, sizeof text, "%ld minutes", repeatMinutes);
        copyText(out, size, text);
    }
}

void LOCALTIMER::GetDuration(char* out, int size) const {
    char text[40];
    if (forever) copyText(out, size, "forever");
    else if (until.seconds) {
        snprintf(text, sizeof text, "until %s", endText);
        copyText(out, size, text);
    } else if (count < 2) copyText(out, size, "one time");
    else {
        snprintf(text, sizeof text, "%ld times", count);
        copyText(out, size, text);
    }
}

BBOOL LOCALTIMER::StreamOut(STREAMBUF& s) {
    using namespace reqfields;
    PutByte(s, forever ? 1 : 0);
    PutInt(s, count);
    PutInt(s, repeatMinutes);
    PutInt(s, static_cast<long>(until.seconds));
    PutText(s, startText);
    PutText(s, repeatText);
    PutText(s, endText);
    PutInt(s, static_cast<long>(due.seconds));
    PutInt(s, interval);
    PutByte(s, repeatCode);
    PutByte(s, repeating ? 1 : 0);
    return streamStatus == 0;
}

BBOOL LOCALTIMER::StreamIn(STREAMBUF& s) {
    using namespace reqfields;
    forever = GetByte(s) != 0;
    count = GetInt(s);
    repeatMinutes = GetInt(s);
    until.seconds = static_cast<unsigned long>(GetInt(s)) & 0xFFFFFFFFUL;
    GetText(s, startText, sizeof startText);
    GetText(s, repeatText, sizeof repeatText);
    GetText(s, endText, sizeof endText);
    due.seconds = static_cast<unsigned long>(GetInt(s)) & 0xFFFFFFFFUL;
    interval = GetInt(s);
    int code = GetByte(s);
    repeatCode = code <= TC_MIDNIGHT ? static_cast<TIMECODE>(code) : TC_NONE;
    repeating = GetByte(s) != 0;
    return streamStatus == 0;
}

int LOCALTIMER::ItemStreamSize(BBOOL forPrefix) {
    return forPrefix && (flags & SPF_WRITETHROUGH) ? 0 : 160;
}
