#pragma once
// The schedule request form: the fields a browser posts turned into one
// scheduled request text ("AT ... ; LINK-LEVEL: n ; url\r\n[Authorization]"),
// or the message that names the first problem. Pure text work; any thread.
#include <string>

#include "QvBase.h"

// Longest request text the form makes; longer texts are cut.
const int SCHEDULE_TEXT_MAX = 2047;
// Longest "userid:password" the Authorization line takes.
const int SCHEDULE_CREDENTIALS_MAX = 127;

// Decodes "%hh" in place ("+" stays); a decoded '%' is not decoded again, and
// a '%' without two characters after it stays as it is. Returns text.
char* translateSGMLChars(char* text);
// A time of day ("10:30", "10:30PM", "Mon,9") that reads as a time other than 0.
BBOOL validTime(const char* text);
// An unsigned decimal count followed only by blanks, '+', tabs or line ends;
// an empty text is valid, no text is not.
BBOOL validCount(const char* text);

// The request text for a form text (the query of a GET or the body of a
// POST); FALSE with message naming the problem, nothing made then.
BBOOL BuildScheduleText(const char* form, std::string& text, const char*& message);
