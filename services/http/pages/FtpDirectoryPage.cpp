// The FTP directory page of HTMLDOC: the listing parser (Unix long listings
// and DOS directory listings) and the page's rows.
#include <cstdlib>
#include <cstring>

#include "HtmlDoc.h"
#include "LookupTable.h"
#include "TextHelpers.h"

namespace {
LOOKUPROW ftpTextExtensions[] = {
    {".txt", 0, 1, 1, 0, 0},
    {".TXT", 0, 1, 1, 0, 0},
    {"", 0, 0, 0, 0, 0},
};

const char* IconOf(FILETYPE kind) {
    switch (kind) {
    case FTP_TEXTFILE: return "text.gif";
    case FTP_PARENT: return "arrow.gif";
    case FTP_DIRECTORY:
    case FTP_LINK: return "folder.gif";
    default: return "binary.gif";
    }
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A word as the listing parsers take it: blanks (line ends included) skipped,
// then up to the next blank; upper-cased. FALSE when only blanks were left.
bool TakeWord(char*& cursor, char* out, int size) {
    while (IsBlank(*cursor)) ++cursor;
    if (!*cursor) return false;
    int n = 0;
    while (*cursor && !IsBlank(*cursor)) {
        if (n < size - 1) out[n++] = (char)toupper((unsigned char)*cursor);
        ++cursor;
    }
    out[n] = 0;
    return true;
}

void SkipSpaces(char*& cursor) {
    while (*cursor == ' ' || *cursor == '\t') ++cursor;
}

// "Nk": n / 1000 + 1 kilobytes, "0k" for nothing.
void SizeText(const char* word, char* out, int size) {
    long n = std::strtol(word, nullptr, 10);
    long shown = n == 0 ? 0 : n / 1000 + 1;
    std::snprintf(out, size, "%ldk", shown);
}

// The line ends at its line feed; the next begins after it and one more CR and LF.
char* LineEnd(char* from) {
    char* p = from;
    while (*p && *p != '\n') ++p;
    return p;
}
char* NextLine(char* end) {
    char* p = end;
    if (*p == '\n') ++p;
    if (*p == '\r') ++p;
    if (*p == '\n') ++p;
    return p;
}

// The name from the cursor to the line's last character that is not a blank.
void TakeName(char* from, char* end, char* out, int size) {
    while (from < end && (*from == ' ' || *from == '\t')) ++from;
    char* last = end;
    while (last > from && IsBlank(last[-1])) --last;
    int n = (int)(last - from);
    if (n > size - 1) n = size - 1;
    std::memcpy(out, from, n);
    out[n] = 0;
}

void DateSpan(const char* from, const char* to, char* out, int size) {
    out[0] = 0;
    long n = (long)(to - from);
    if (n > 0 && n <= size - 1) {
        std::memcpy(out, from, n);
        out[n] = 0;
    }
}

void JoinPath(const char* path, const char* name, char* out, int size, bool directory) {
    _strzcpy(out, path ? path : "", size);
    _strzcat(out, name, size);
    size_t len = std::strlen(out);
    if (directory && len > 0 && out[len - 1] != '/' && (int)len + 1 < size) std::strcat(out, "/");
}

bool Skipped(const char* name) { return !*name || !std::strcmp(name, ".") || !std::strcmp(name, ".."); }
}  // namespace

BBOOL HTMLDOC::atSiteRoot(const char* path) { return !path || !*path || !std::strcmp(path, "/"); }

BBOOL HTMLDOC::isTextFile(const char* name) {
    const char* dot = name ? std::strchr(name, '.') : nullptr;
    return dot && _LookUp(ftpTextExtensions, dot, 0, 0)->valid;
}

char* HTMLDOC::getParentPath(const char* path, BUFFER& out) {
    if (!out.data || out.length <= 0) return out.data;
    _strzcpy(out.data, path ? path : "", out.length);
    size_t len = std::strlen(out.data);
    if (len && out.data[len - 1] == '/') out.data[--len] = 0;
    char* slash = std::strrchr(out.data, '/');
    if (!len || !slash) _strzcpy(out.data, "/", out.length);
    else slash[1] = 0;
    return out.data;
}

char* HTMLDOC::getLinkPath(const char* name, BUFFER& out) {
    if (!out.data || out.length <= 0) return out.data;
    _strzcpy(out.data, name ? name : "", out.length);
    if (char* arrow = std::strstr(out.data, "->")) {
        while (arrow > out.data && IsBlank(arrow[-1])) --arrow;
        *arrow = 0;
    }
    return out.data;
}

BBOOL HTMLDOC::isUnixLsStyle(const char* line) {
    const char* p = line;
    while (IsBlank(*p)) ++p;
    const char* word = p;
    while (*p && !IsBlank(*p)) ++p;
    if (p - word != 10) return FALSE;
    // The first letter is the entry's type and is not looked at.
    for (int i = 1; i < 10; ++i)
        if (!std::strchr("-rwxlstRWXLST", word[i])) return FALSE;
    return TRUE;
}

BBOOL HTMLDOC::isDosDirStyle(const char* line) {
    char word[20];
    char* c = const_cast<char*>(line);
    if (!TakeWord(c, word, sizeof word) || !TakeWord(c, word, sizeof word) || !TakeWord(c, word, sizeof word))
        return FALSE;
    if (!std::strncmp(word, "<DIR>", 5)) return TRUE;
    for (const char* p = word; *p; ++p)
        if (*p < '0' || *p > '9') return FALSE;
    return TRUE;
}

BBOOL HTMLDOC::parseFTPLsLine(char*& cursor, const char* path, const char* base) {
    if (!*cursor) return TRUE;
    char* line = cursor;
    char* end = LineEnd(line);
    char word[80];
    char permissions[20] = "", sizeText[20] = "", date[20] = "";
    char* c = line;
    char* nameFrom = line;
    bool five = TakeWord(c, word, sizeof word) && c <= end;
    if (five) _strzcpy(permissions, word, sizeof permissions);
    char sizeWord[80] = "";
    for (int i = 0; five && i < 4; ++i) {
        five = TakeWord(c, word, sizeof word) && c <= end;
        if (i == 3) _strzcpy(sizeWord, word, sizeof sizeWord);
    }
    if (!five) {
        permissions[0] = 0;
    } else {
        SizeText(sizeWord, sizeText, sizeof sizeText);
        SkipSpaces(c);
        char* at = c;
        bool three = true;
        for (int i = 0; three && i < 3; ++i) three = TakeWord(c, word, sizeof word) && c <= end;
        if (three) {
            DateSpan(at, c, date, sizeof date);
            nameFrom = c;
        } else {
            nameFrom = at;
        }
    }
    cursor = NextLine(end);
    char name[256];
    TakeName(nameFrom, end, name, sizeof name);
    if (Skipped(name)) return TRUE;
    FILETYPE kind = FTP_FILE;
    if (permissions[0] == 'D') kind = FTP_DIRECTORY;
    else if (permissions[0] == 'L') kind = FTP_LINK;
    if (isTextFile(name)) kind = FTP_TEXTFILE;
    char link[256];
    if (kind == FTP_LINK) {
        char target[256];
        BUFFER b(target, sizeof target);
        getLinkPath(name, b);
        JoinPath(path, target, link, sizeof link, true);
        if (*target) _strzcpy(name, target, sizeof name);
    } else {
        JoinPath(path, name, link, sizeof link, kind == FTP_DIRECTORY);
    }
    return buildFTPbodyline(link, name, date, sizeText, base, kind);
}

BBOOL HTMLDOC::parseFTPDirLine(char*& cursor, const char* path, const char* base) {
    if (!*cursor) return TRUE;
    char* line = cursor;
    char* end = LineEnd(line);
    char word[80];
    char sizeText[20] = "", date[20] = "";
    FILETYPE kind = FTP_FILE;
    char* c = line;
    SkipSpaces(c);
    char* at = c;
    char* nameFrom = at;
    if (TakeWord(c, word, sizeof word) && c <= end && TakeWord(c, word, sizeof word) && c <= end) {
        DateSpan(at, c, date, sizeof date);
        if (TakeWord(c, word, sizeof word) && c <= end) {
            if (!std::strncmp(word, "<DIR>", 5)) kind = FTP_DIRECTORY;
            else SizeText(word, sizeText, sizeof sizeText);
            nameFrom = c;
        } else {
            nameFrom = end;  // no third word: nothing is left for a name
        }
    }
    cursor = NextLine(end);
    char name[256];
    TakeName(nameFrom, end, name, sizeof name);
    if (Skipped(name)) return TRUE;
    if (isTextFile(name)) kind = FTP_TEXTFILE;
    char link[256];
    JoinPath(path, name, link, sizeof link, kind == FTP_DIRECTORY);
    return buildFTPbodyline(link, name, date, kind == FTP_DIRECTORY ? nullptr : sizeText, base, kind);
}

BBOOL HTMLDOC::parseFTPList(const BUFFER& listing, const char* path, const char* base) {
    if (path && *path && !atSiteRoot(path)) {
        char parent[256];
        BUFFER b(parent, sizeof parent);
        getParentPath(path, b);
        if (!buildFTPbodyline(parent, nullptr, nullptr, nullptr, base, FTP_PARENT)) return FALSE;
    }
    char* cursor = listing.data;
    if (!cursor) return TRUE;
    if (!std::strncmp(cursor, "total", 5)) {
        char* lf = std::strchr(cursor, '\n');
        cursor = lf ? lf + 1 : cursor + std::strlen(cursor);
    }
    char* probe = cursor;
    while (IsBlank(*probe)) ++probe;
    if (!*probe) return TRUE;
    bool unix = isUnixLsStyle(cursor);
    if (!unix && !isDosDirStyle(cursor)) return FALSE;
    BBOOL ok = TRUE;
    while (ok && *cursor) ok = unix ? parseFTPLsLine(cursor, path, base) : parseFTPDirLine(cursor, path, base);
    return ok;
}

BBOOL HTMLDOC::buildFTPbodyheaders(const char* host, const char* path) {
    Append("<H1>");
    Append("Directory of ");
    AppendEscaped(host);
    Append("</H1>");
    Append("\r\n");
    Append("<H2>");
    Append("Current directory is ");
    AppendEscaped(path);
    Append("</H2>");
    Append("\r\n");
    Append("<HR>");
    Append("\r\n");
    Append("<table width=100% cols=3 border=0>");
    Append("<tr>");
    Append("<td width=25%>");
    Append("NAME");
    Append("</td>");
    Append("<td width=25%>");
    Append("LAST MODIFIED");
    Append("</td>");
    Append("<td width=10%>");
    Append("SIZE");
    Append("</td>");
    Append("</tr>");
    Append("\r\n");
    return TRUE;
}

BBOOL HTMLDOC::buildFTPbodyline(const char* link, const char* name, const char* date, const char* sizeText,
                                const char* base, FILETYPE kind) {
    Append("<tr>");
    Append("<td width=25%>");
    if (base) {
        Append("<IMG ALIGN=absbottom BORDER=0 HEIGHT=16 WIDTH=16 HSPACE=5 SRC=");
        Append("\"");
        Append(base);
        Append(IconOf(kind));
        Append("\"");
        Append(">");
    }
    Append("<A HREF=");
    Append("\"");
    AppendEscaped(link);
    Append("\"");
    Append(">");
    if (kind == FTP_PARENT) {
        Append("Parent Directory");
        Append("</A>");
        Append("</td>");
    } else {
        AppendEscaped(name);
        Append("</A>");
        Append("</td>");
        Append("<td width=25%>");
        AppendEscaped(date);
        Append("</td>");
        Append("<td width=10%>");
        Append(kind == FTP_DIRECTORY || kind == FTP_LINK ? "-" : sizeText);
        Append("</td>");
    }
    Append("</tr>");
    Append("\r\n");
    return TRUE;
}

BBOOL HTMLDOC::buildFTPbodyend() {
    Append("</table>");
    Append("<HR>");
    Append("\r\n");
    return TRUE;
}

BBOOL HTMLDOC::buildFTPdocument(const BUFFER& listing, const char* path, const char* host, const char* base) {
    return TwoPasses([&] {
        return buildDocHeaders(host, nullptr, nullptr, nullptr) && buildFTPbodyheaders(host, path) &&
               parseFTPList(listing, path, base) && buildFTPbodyend() && buildDocEnd();
    });
}
