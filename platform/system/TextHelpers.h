#pragma once
// Free text helpers: bounded copies, word scanning, number texts, Base64,
// the control-character codec of configuration values, file scan and patch,
// and the administrator password scrambling. They keep no state.
#include "QvBase.h"

// Copies at most size - 1 characters and terminates; with pad the rest of
// the size is zero-filled. size 0 writes nothing.
char* _strzcpy(char* dst, const char* src, int size, BBOOL pad = 0);
// Appends while keeping the whole string below size bytes.
char* _strzcat(char* dst, const char* src, int size);

// Next word at *cursor: skips blanks (space, tab, CR, LF when blanks is null),
// then a quoted word runs to its closing quote, any other to the first stop
// character (a blank when stops is null), which stays under the cursor.
// Returns the length copied to out (the word's length when out is null),
// -1 when only blanks were left.
int _ScanWord(char** cursor, char* out, int outSize, BBOOL stripQuotes = 0, BBOOL upper = 0,
              const char* stops = nullptr, const char* blanks = nullptr);
// Collects up to max operator characters of "+-=/*<>!" (blanks between them skipped);
// out needs max + 1 bytes. Returns the count, -1 at the end of the text.
int _ScanOper(char** cursor, char* out, int max);

char* _TrimStr(char* s);
char* _DeQuote(char* s, BBOOL upper = 0);

char* _cvtltoa(long value, char* out, int radix);
char* _cvtdtoa(double value, char* out, int decimals);
char* _cvtlower(char* s);
char* _cvtupper(char* s);
// Decimal text to long: leading blanks, optional sign, digits; saturates on overflow.
long _atol(const char* text);
// "yyyy?mm?dd" with any separators, month 1-12, day 1-31.
BBOOL _chkdate(const char* s);

// Base64 of the text up to its terminator; writes no terminator, returns the count.
int _AsciiToBase64(const char* text, char* out);

// Decodes backslash escapes (\a \b \f \n \r \t \v \\ \0 \xHH) into out; the rest of
// out is zero-filled. Returns the bytes produced, -1 for a bad escape or no room.
int _AsciiToCtlChars(const char* text, const BUFFER& out, BBOOL unquote = 0);
// Encodes in.length bytes so that _AsciiToCtlChars gives them back; false when out
// is too small. out is terminated whenever it has a byte.
BBOOL _CtlCharsToAscii(const BUFFER& in, const BUFFER& out, BBOOL quote = 0);

// 1-based number of the first line that starts with text (with byWords: whose
// first words equal text's words); 0 when none or the file cannot be opened.
int _ScanFile(const char* path, const char* text, BBOOL byWords = 0);

// Copies source to target replacing the first occurrence of find by replace
// (cut or zero-padded to find's length), wherever it lies in the file. Returns
// its offset, 0 when none was replaced, -1 when a file cannot be opened, read
// or written. A match at offset 0 also gives 0: callers treat 0 as "nothing
// replaced", and the files they patch never start with the text.
long _ModifyBinaryFile(const char* dir, const char* source, const char* target, const char* find,
                       const char* replace);

// Scrambles the first 63 characters in place; applying it twice restores them.
void _EncryptString(const BUFFER& text);
