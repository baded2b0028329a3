#include "Profile.h"

#include "QvWindows.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "LookupTable.h"
#include "TaskAbend.h"

namespace {

const int kLineBuffer = 1024;
// Look-ups see the first 255 characters of a stored text.
const int kMatchBuffer = 256;

bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0x7F; }

// One line of any length, without its line end; false at the end of the file.
bool readLine(FILE* file, std::string& line) {
    line.clear();
    char chunk[kLineBuffer];
    bool any = false;
    while (std::fgets(chunk, sizeof chunk, file)) {
        any = true;
        size_t n = std::strlen(chunk);
        if (n && chunk[n - 1] == '\n') {
            line.append(chunk, n - 1);
            return true;
        }
        line.append(chunk, n);
    }
    return any;
}

std::string trimmed(const std::string& text) {
    size_t a = 0, b = text.size();
    while (a < b && isWhite(text[a])) ++a;
    while (b > a && isWhite(text[b - 1])) --b;
    return text.substr(a, b - a);
}

}  // namespace

PROFILEFILEOPS _ProfileFileOps = {&std::fwrite, &std::fflush, &std::fclose};

PROFILE::PROFILE(const char* name, BBOOL readNow)
    : TABLE(nullptr), sectionColumn(nullptr), keyColumn(nullptr), valueColumn(nullptr), loaded(0), status(0) {
    sectionColumn = CHAIN<COLUMN>::Cast(AddColumn(TRUE).target);
    keyColumn = CHAIN<COLUMN>::Cast(AddColumn(TRUE).target);
    valueColumn = CHAIN<COLUMN>::Cast(AddColumn(TRUE).target);
    if (sectionColumn) sectionColumn->SetName("Section");
    if (keyColumn) keyColumn->SetName("Key");
    if (valueColumn) valueColumn->SetName("Value");
    AllocateBuffers(kLineBuffer);
    fileName[0] = 0;
    if (name) {
        std::strncpy(fileName, name, sizeof fileName - 1);
        fileName[sizeof fileName - 1] = 0;
    }
    if (readNow && fileName[0]) ReadFile(fileName, TRUE);
}

PROFILE::~PROFILE() {}

char* PROFILE::StripWhite(char* text) {
    if (!text) return text;
    while (*text && isWhite(*text)) ++text;
    size_t n = std::strlen(text);
    while (n > 0 && isWhite(text[n - 1])) text[--n] = 0;
    return text;
}

bool PROFILE::fieldText(ROW* row, COLUMN* column, std::string& out) {
    out.clear();
    if (!row || !column) return false;
    FIELD* f = row->GetField(column->ColumnID());
    if (!f) return false;
    int n = f->DataLength();
    if (n > 0) {
        out.resize(n + 1);
        int got = f->GetData(BUFFER(&out[0], n + 1), TRUE);
        out.resize(got);
    }
    return true;
}

void PROFILE::setText(ROW* row, COLUMN* column, const char* text, size_t length) {
    if (row && column) row->SetField(column, BUFFER(const_cast<char*>(text), (long)length));
}

ROW* PROFILE::newRow(bSPOINTER* before) {
    bSPOINTER* at = before ? before : &_NULLSPTR;
    return CHAIN<ROW>::Cast(AddRow(at).target);
}

int PROFILE::ReadFile(const char* name, BBOOL mustExist) {
    if (loaded) _Task_Abend(ABEND_PRO101, (ULONG_PTR)(uintptr_t)this);
    if (name && name != fileName) {
        std::strncpy(fileName, name, sizeof fileName - 1);
        fileName[sizeof fileName - 1] = 0;
    }
    if (!fileName[0]) return status = 9999;
    FILE* file = std::fopen(fileName, "rt");
    if (!file) {
        if (mustExist) return status = 9999;
        loaded = 1;
        return 0;
    }
    std::string line, section;
    bool haveSection = false, headerPending = false;
    while (readLine(file, line)) {
        char first = line.empty() ? 0 : line[0];
        if (first == 0 || first == ' ' || first == ';') {
            ROW* row = newRow(nullptr);
            if (haveSection) setText(row, sectionColumn, section.data(), section.size());
            setText(row, valueColumn, line.data(), line.size());
            headerPending = false;
        } else if (first == '[') {
            std::string inside = line.substr(1, 255);
            size_t close = inside.find(']');
            if (close == std::string::npos) continue;
            if (headerPending) {
                ROW* row = newRow(nullptr);
                setText(row, sectionColumn, section.data(), section.size());
            }
            section = trimmed(inside.substr(0, close));
            haveSection = true;
            headerPending = true;
        } else {
            ROW* row = newRow(nullptr);
            if (haveSection) setText(row, sectionColumn, section.data(), section.size());
            size_t eq = line.find('=');
            std::string key = trimmed(eq == std::string::npos ? line : line.substr(0, eq));
            setText(row, keyColumn, key.data(), key.size());
            if (eq != std::string::npos) {
                std::string value = trimmed(line.substr(eq + 1));
                setText(row, valueColumn, value.data(), value.size());
            }
            headerPending = false;
        }
    }
    if (headerPending) {
        ROW* row = newRow(nullptr);
        setText(row, sectionColumn, section.data(), section.size());
    }
    std::fclose(file);
    loaded = 1;
    return 0;
}

int PROFILE::WriteFile(const char* name) {
    if (!loaded) return -1;
    const char* target = name ? name : fileName;
    if (!target || !target[0]) return status = 9999;
    // Written beside the old file and swapped in only when complete, so a full
    // disk leaves the previous configuration in place.
    // A read-only file or a directory in its place is not replaced.
    DWORD attributes = GetFileAttributesA(target);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return status = 9999;
    std::string temp = std::string(target) + ".$$$";
    FILE* file = std::fopen(temp.c_str(), "wt");
    if (!file) return status = 9999;
    const PROFILEFILEOPS io = _ProfileFileOps;
    bool ok = true;
    auto put = [&](const std::string& text) {
        if (ok && !text.empty() && io.write(text.data(), 1, text.size(), file) != text.size()) ok = false;
    };
    std::string lastHeader, section, key, value;
    for (ROW* row = FirstRow(); row && ok; row = NextRow(row)) {
        if (fieldText(row, sectionColumn, section) && section != lastHeader) {
            put("[" + section + "]\n");
            lastHeader = section;
        }
        if (fieldText(row, keyColumn, key)) {
            put(key);
            if (fieldText(row, valueColumn, value))
                put(" = " + value + "\n");
            else
                put(" =\n");
        } else {
            if (fieldText(row, valueColumn, value)) put(value);
            put("\n");
        }
    }
    if (io.flush(file) != 0) ok = false;
    if (io.close(file) != 0) ok = false;
    if (ok && !MoveFileExA(temp.c_str(), target, MOVEFILE_REPLACE_EXISTING)) {
        // Windows 95 has no MoveFileEx: move the old file aside first and put
        // it back when the new one cannot take its place.
        if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) {
            ok = false;
        } else {
            std::string old = std::string(target) + ".old";
            DeleteFileA(old.c_str());
            bool hadOld = MoveFileA(target, old.c_str()) != FALSE;
            ok = MoveFileA(temp.c_str(), target) != FALSE;
            if (!ok && hadOld) MoveFileA(old.c_str(), target);
            if (ok && hadOld) DeleteFileA(old.c_str());
        }
    }
    if (!ok) {
        DeleteFileA(temp.c_str());
        return status = 9998;
    }
    return 0;
}

BBOOL PROFILE::CheckMatch(ROW* row, COLUMN* column, const char* text, BBOOL partial) {
    if (!text) return TRUE;
    std::string stored;
    if (!fieldText(row, column, stored)) return text[0] == 0;
    if (stored.size() > (size_t)kMatchBuffer - 1) stored.resize(kMatchBuffer - 1);
    if (partial) return _strnicmp(stored.c_str(), text, std::strlen(text)) == 0;
    return _stricmp(stored.c_str(), text) == 0;
}

ROW* PROFILE::FindRow(const char* section, const char* key, const char* value, BBOOL partial) {
    for (bSPOINTER* cell = rows.first; cell && cell->target; cell = cell->next) {
        ROW* row = CHAIN<ROW>::Cast(cell->target);
        if (section && !CheckMatch(row, sectionColumn, section, FALSE)) continue;
        if (key && !CheckMatch(row, keyColumn, key, partial && !value)) continue;
        if (value && !CheckMatch(row, valueColumn, value, partial)) continue;
        rowCursor = cell;
        return row;
    }
    return nullptr;
}

int PROFILE::ReadString(const char* section, const char* key, const BUFFER& value) {
    if (value.data && value.length > 0) value.data[0] = 0;
    if (!loaded || !key) return -1;
    ROW* row = FindRow(section, key, nullptr, FALSE);
    if (!row) return -1;
    FIELD* f = row->GetField(valueColumn->ColumnID());
    if (!f || !value.data || value.length <= 0) return 0;
    return f->GetData(value, TRUE);
}

int PROFILE::ReadINT(const char* section, const char* key, int& value) {
    if (!loaded || !key) return -1;
    ROW* row = FindRow(section, key, nullptr, FALSE);
    if (!row) return -1;
    std::string text;
    fieldText(row, valueColumn, text);
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    long number = std::strtol(start, &end, 10);
    if (errno == ERANGE || number > INT_MAX || number < INT_MIN) return 1;
    value = (int)number;
    return *end ? 1 : 0;
}

int PROFILE::ReadBOOL(const char* section, const char* key, BBOOL& value) {
    char text[10];
    int got = ReadString(section, key, BUFFER(text, sizeof text));
    if (got < 0) return -1;
    int yn = _CheckYesNo(text, FALSE);
    if (yn == 255) return 1;
    value = yn;
    return 0;
}

void PROFILE::WriteString(const char* section, const char* key, const char* value) {
    if (!loaded || !section) return;
    if (key) {
        if (ROW* row = FindRow(section, key, nullptr, FALSE)) {
            if (!value)
                row->DeleteField(valueColumn->ColumnID());
            else
                setText(row, valueColumn, value, std::strlen(value));
            return;
        }
    }
    bSPOINTER* before = &_NULLSPTR;
    if (FindRow(section, nullptr, nullptr, FALSE)) {
        bSPOINTER* first = rowCursor;
        bSPOINTER* last = first;
        bSPOINTER* cell = first;
        int runLength = 0;
        while (cell && cell->target && CheckMatch(CHAIN<ROW>::Cast(cell->target), sectionColumn, section, FALSE)) {
            last = cell;
            ++runLength;
            cell = cell->next;
        }
        ROW* lastRow = CHAIN<ROW>::Cast(last->target);
        std::string text;
        bool headerOnly = runLength == 1 && !fieldText(lastRow, keyColumn, text) && !fieldText(lastRow, valueColumn, text);
        // A run that ends in a key line takes the new key after it; otherwise
        // the new key goes before the trailing blank or comment line.
        if (headerOnly || fieldText(lastRow, keyColumn, text))
            before = cell && cell->target ? cell : &_NULLSPTR;
        else
            before = last;
    }
    ROW* row = newRow(before);
    if (!row) return;
    setText(row, sectionColumn, section, std::strlen(section));
    if (key) setText(row, keyColumn, key, std::strlen(key));
    if (value) setText(row, valueColumn, value, std::strlen(value));
}

void PROFILE::DeleteString(const char* section, const char* key, const char* value) {
    if (!loaded) return;
    bSPOINTER* cell = rows.first;
    while (cell && cell->target) {
        bSPOINTER* next = cell->next;
        ROW* row = CHAIN<ROW>::Cast(cell->target);
        if (CheckMatch(row, sectionColumn, section, FALSE) && CheckMatch(row, keyColumn, key, FALSE) &&
            CheckMatch(row, valueColumn, value, FALSE))
            DeleteRow(row);
        cell = next;
    }
    rowCursor = &_NULLSPTR;
}

int PROFILE::ListStrings(const char* section, const BUFFER& out) {
    if (!loaded) return 0;
    if (out.data && out.length > 0) out.data[0] = 0;
    if (!FindRow(section, nullptr, nullptr, FALSE)) return 0;
    char* put = out.data;
    long room = out.data ? out.length : 0;
    int count = 0;
    std::string key;
    for (bSPOINTER* cell = rowCursor; cell && cell->target; cell = cell->next) {
        ROW* row = CHAIN<ROW>::Cast(cell->target);
        if (!CheckMatch(row, sectionColumn, section, FALSE)) break;
        if (!fieldText(row, keyColumn, key)) continue;
        if (key.size() > (size_t)kMatchBuffer - 1) key.resize(kMatchBuffer - 1);
        if (key.empty()) continue;
        if (room > 0) {
            // Keep room for the key, its NUL and the closing empty string.
            if ((long)key.size() + 2 > room) break;
            std::memcpy(put, key.c_str(), key.size() + 1);
            put += key.size() + 1;
            room -= (long)key.size() + 1;
        }
        ++count;
    }
    if (room > 0) *put = 0;
    return count;
}

int PROFILE::copyOut(ROW* row, const BUFFER& key, const BUFFER& value) {
    if (key.data && key.length > 0) {
        key.data[0] = 0;
        if (FIELD* f = row->GetField(keyColumn->ColumnID())) f->GetData(key, TRUE);
    }
    if (value.data && value.length > 0) value.data[0] = 0;
    FIELD* f = row->GetField(valueColumn->ColumnID());
    if (!f) return 0;
    if (value.data && value.length > 0) f->GetData(value, TRUE);
    return f->DataLength();
}

int PROFILE::ReadKeyString(const char* section, const BUFFER& key, const BUFFER& value) {
    std::string wanted = key.data ? std::string(key.data, strnlen(key.data, key.length)) : std::string();
    ROW* row = nullptr;
    std::string text;
    // Comment and blank lines have no key, not even an empty one.
    for (bSPOINTER* cell = rows.first; loaded && cell && cell->target && !row; cell = cell->next) {
        ROW* r = CHAIN<ROW>::Cast(cell->target);
        if (section && !CheckMatch(r, sectionColumn, section, FALSE)) continue;
        if (!fieldText(r, keyColumn, text) || !CheckMatch(r, keyColumn, wanted.c_str(), TRUE)) continue;
        row = r;
        rowCursor = cell;
    }
    if (!row) {
        if (key.data && key.length > 0) key.data[0] = 0;
        if (value.data && value.length > 0) value.data[0] = 0;
        return -1;
    }
    return copyOut(row, key, value);
}

int PROFILE::ReadFileString(const char* section, const BUFFER& key, const BUFFER& value) {
    std::string wanted = key.data ? std::string(key.data, strnlen(key.data, key.length)) : std::string();
    ROW* found = nullptr;
    if (loaded) {
        std::string text;
        for (bSPOINTER* cell = rows.first; cell && cell->target && !found; cell = cell->next) {
            ROW* row = CHAIN<ROW>::Cast(cell->target);
            if (section && !CheckMatch(row, sectionColumn, section, FALSE)) continue;
            if (!fieldText(row, keyColumn, text)) continue;
            size_t comma = text.find(',');
            if (comma != std::string::npos) text.resize(comma);
            size_t slash = text.rfind('\\');
            if (slash != std::string::npos) text.erase(0, slash + 1);
            if (_stricmp(text.c_str(), wanted.c_str()) == 0) {
                found = row;
                rowCursor = cell;
            }
        }
    }
    if (!found) {
        if (key.data && key.length > 0) key.data[0] = 0;
        if (value.data && value.length > 0) value.data[0] = 0;
        return -1;
    }
    return copyOut(found, key, value);
}
