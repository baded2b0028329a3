#include "ScheduleForm.h"

#include <cstdlib>
#include <cstring>

#include "TextHelpers.h"
#include "TimeStamp.h"

namespace {
// Decodes in place; the decoded length, which counts a decoded NUL as a character.
size_t Decode(char* text) {
    size_t n = std::strlen(text);
    for (size_t i = 0; i < n; ++i) {
        if (text[i] != '%' || i + 2 >= n) continue;  // too short to be a code: kept as typed
        char code[3] = {text[i + 1], text[i + 2], 0};
        text[i] = (char)(std::strtol(code, nullptr, 16) & 0xFF);
        std::memmove(text + i + 1, text + i + 3, n - i - 2);
        n -= 2;
    }
    return n;
}
}  // namespace

char* translateSGMLChars(char* text) {
    if (text) Decode(text);
    return text;
}

BBOOL validTime(const char* text) { return text && TIMESTAMP::parseDAYHHMM(text, FALSE) != 0; }

BBOOL validCount(const char* text) {
    if (!text) return FALSE;
    char* end = nullptr;
    std::strtoul(text, &end, 10);
    for (const char* p = end; *p; ++p)
        if (!std::strchr(" +\t\r\n", *p)) return FALSE;
    return TRUE;
}

namespace {
enum FIELD {
    F_URL, F_LINKS, F_LEVEL, F_START, F_AT_TIME, F_AMPM, F_ON_DAY, F_ON_TIME, F_AMPM2, F_FREQUENCY, F_MINUTES,
    F_DURATION, F_COUNT, F_STOP_AT, F_AMPM3, F_STOP_DATE, F_STOP_TIME, F_AMPM4, F_USER, F_PASSWORD, F_COUNT_OF
};

// The form's field names, matched whole and with regard to case.
const char* const FIELD_NAMES[F_COUNT_OF] = {
    "web_url", "retrieve_links", "link_level", "start", "at_time", "AM_or_PM", "on_day", "on_time", "AM_or_PM_2",
    "frequency", "repeat_mins", "duration", "repeat_count", "stop_at_time", "AM_or_PM_3", "stop_date", "stop_time",
    "AM_or_PM_4", "userid", "password",
};

const char MSG_NO_FORM[] = "Missing Request Parameters";
const char MSG_NO_START[] = "Missing Start Time";
const char MSG_START_TIME[] = "Invalid Start Time ";
const char MSG_NO_DAY[] = "Missing Start Day";
const char MSG_DAY[] = "Invalid Start Day ";
const char MSG_MINUTES[] = "Invalid Frequency Minutes ";
const char MSG_FREQUENCY[] = "Invalid Frequency Value ";
const char MSG_COUNT[] = "Invalid Duration Count ";
const char MSG_STOP_TIME[] = "Invalid Stop Time ";
const char MSG_STOP_DATE[] = "Invalid Stop Date ";
const char MSG_LEVEL[] = "Invalid Link Level ";
const char MSG_NO_URL[] = "Missing URL";
const char MSG_URL[] = "Invalid URL Requested ";
const char MSG_BAD_FORM[] = "Bad form data";

struct FORM {
    std::string value[F_COUNT_OF];
    bool given[F_COUNT_OF] = {};
    const char* Get(FIELD f) const { return given[f] ? value[f].c_str() : nullptr; }
    bool Starts(FIELD f, const char* word) const {
        return given[f] && value[f].compare(0, std::strlen(word), word) == 0;
    }
};

int FieldOf(const std::string& name) {
    for (int i = 0; i < F_COUNT_OF; ++i)
        if (name == FIELD_NAMES[i]) return i;
    return -1;
}

bool HasControl(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

// Splits name=value pairs; FALSE (with message) for a value that decodes to a
// control character, which would add lines to the request and its file.
bool Split(const char* form, FORM& f, const char*& message) {
    std::string rest = form;
    size_t eq;
    while (!rest.empty() && (eq = rest.find('=')) != std::string::npos) {
        std::string name = rest.substr(0, eq);
        size_t amp = rest.find('&', eq + 1);
        std::string value = rest.substr(eq + 1, amp == std::string::npos ? std::string::npos : amp - eq - 1);
        rest = amp == std::string::npos ? std::string() : rest.substr(amp + 1);
        int field = FieldOf(name);
        if (value.empty() || field < 0) continue;
        value.resize(Decode(&value[0]));
        value.erase(0, value.find_first_not_of(" +\t\r\n") == std::string::npos ? value.size()
                                                                                : value.find_first_not_of(" +\t\r\n"));
        if (HasControl(value)) {
            message = field == F_URL ? MSG_URL : MSG_BAD_FORM;
            return false;
        }
        f.value[field] = value;
        f.given[field] = true;
    }
    return true;
}

// The text after the first ',' (the time of an "on" or "date" pair).
const char* AfterComma(const std::string& s) {
    size_t c = s.find(',');
    return c == std::string::npos ? s.c_str() : s.c_str() + c + 1;
}

bool Start(const FORM& f, std::string& t, const char*& message) {
    t += "AT ";
    if (f.Starts(F_START, "now")) {
        t += "IMMEDIATE";
    } else if (f.Starts(F_START, "at")) {
        if (!f.given[F_AT_TIME]) return message = MSG_START_TIME, false;
        std::string time = f.value[F_AT_TIME] + (f.given[F_AMPM] ? f.value[F_AMPM] : "");
        if (!validTime(time.c_str())) return message = MSG_START_TIME, false;
        t += time;
    } else if (f.Starts(F_START, "on")) {
        if (!f.given[F_ON_DAY]) return message = MSG_NO_DAY, false;
        if (f.value[F_ON_DAY].empty()) return message = MSG_DAY, false;
        if (!f.given[F_ON_TIME]) return message = MSG_START_TIME, false;
        std::string when = f.value[F_ON_DAY] + "," + f.value[F_ON_TIME] + (f.given[F_AMPM2] ? f.value[F_AMPM2] : "");
        if (!validTime(AfterComma(when))) return message = MSG_START_TIME, false;
        t += when;
    } else {
        return message = MSG_NO_START, false;
    }
    t += " ";
    return true;
}

bool Frequency(const FORM& f, std::string& t, const char*& message) {
    if (!f.given[F_FREQUENCY]) return true;
    if (f.Starts(F_FREQUENCY, "never")) {
    } else if (f.Starts(F_FREQUENCY, "minutes")) {
        if (!validCount(f.Get(F_MINUTES))) return message = MSG_MINUTES, false;
        t += "REPEAT " + f.value[F_MINUTES];
    } else if (f.Starts(F_FREQUENCY, "day")) {
        t += "REPEAT 1440";
    } else if (f.Starts(F_FREQUENCY, "week")) {
        t += "REPEAT 10080";
    } else {
        return message = MSG_FREQUENCY, false;
    }
    t += " ";
    return true;
}

bool Duration(const FORM& f, std::string& t, const char*& message) {
    if (!f.given[F_DURATION] || f.Starts(F_FREQUENCY, "never")) return true;
    if (f.Starts(F_DURATION, "once")) {
        t += "COUNT 0";
    } else if (f.Starts(F_DURATION, "count")) {
        if (!validCount(f.Get(F_COUNT))) return message = MSG_COUNT, false;
        t += "COUNT " + f.value[F_COUNT];
    } else if (f.Starts(F_DURATION, "time")) {
        if (!f.given[F_STOP_AT]) return message = MSG_STOP_TIME, false;
        std::string time = f.value[F_STOP_AT] + (f.given[F_AMPM3] ? f.value[F_AMPM3] : "");
        if (!validTime(time.c_str())) return message = MSG_STOP_TIME, false;
        t += "UNTIL " + time;
    } else if (f.Starts(F_DURATION, "date")) {
        if (!validCount(f.Get(F_STOP_DATE))) return message = MSG_STOP_DATE, false;
        if (!f.given[F_STOP_TIME]) return message = MSG_STOP_TIME, false;
        std::string when =
            f.value[F_STOP_DATE] + "," + f.value[F_STOP_TIME] + (f.given[F_AMPM4] ? f.value[F_AMPM4] : "");
        if (!validTime(AfterComma(when))) return message = MSG_STOP_TIME, false;
        t += "UNTIL " + when;
    }
    t += " ";
    return true;
}

bool Level(const FORM& f, std::string& t, const char*& message) {
    if (f.given[F_LEVEL] && !validCount(f.Get(F_LEVEL))) return message = MSG_LEVEL, false;
    std::string level = "0";
    if (f.Starts(F_LINKS, "YES")) level = f.given[F_LEVEL] && !f.value[F_LEVEL].empty() ? f.value[F_LEVEL] : "1";
    t += "; LINK-LEVEL: " + level + " ; ";
    return true;
}

bool Target(const FORM& f, std::string& t, const char*& message) {
    if (!f.given[F_URL]) return message = MSG_NO_URL, false;
    if (f.value[F_URL].empty()) return message = MSG_URL, false;
    t += f.value[F_URL] + "\r\n";
    if (!f.given[F_USER] && !f.given[F_PASSWORD]) return true;
    std::string credentials = f.value[F_USER] + ":" + f.value[F_PASSWORD];
    if ((int)credentials.size() > SCHEDULE_CREDENTIALS_MAX) return message = MSG_BAD_FORM, false;
    char encoded[(SCHEDULE_CREDENTIALS_MAX + 2) / 3 * 4 + 4];
    int n = _AsciiToBase64(credentials.c_str(), encoded);
    t += "Authorization: Basic " + std::string(encoded, n) + "\r\n";
    return true;
}
}  // namespace

BBOOL BuildScheduleText(const char* form, std::string& text, const char*& message) {
    text.clear();
    message = MSG_BAD_FORM;
    if (!form || !*form) {
        message = MSG_NO_FORM;
        return FALSE;
    }
    FORM f;
    bool ok = Split(form, f, message) && Start(f, text, message) && Frequency(f, text, message) &&
              Duration(f, text, message) && Level(f, text, message) && Target(f, text, message);
    if (!ok) {
        text.clear();
        return FALSE;
    }
    if ((int)text.size() > SCHEDULE_TEXT_MAX) text.resize(SCHEDULE_TEXT_MAX);
    return TRUE;
}
