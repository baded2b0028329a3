// Text dumps of the trace ring and of tables.
#include "TraceDump.h"

#include "QvWindows.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ByteOrder.h"
#include "Column.h"
#include "Field.h"
#include "Row.h"
#include "Table.h"
#include "LogFile.h"
#include "TaskAbend.h"
#include "TraceTable.h"

namespace {

const int kLineSize = 80;
// Escaped data stops two short of the line end so an escape pair always fits.
const int kDataLimit = kLineSize - 2;

struct EventName {
    int number;
    const char* name;
};

struct CategoryName {
    int bit;
    const char* name;
    const EventName* events;
};

// The name tables are made from the lists the trace calls use.
#define QV_EVENT_ROW(name, number, text) {number, text},
#define QV_EVENT_TABLE(name, bit, text, events) const EventName name##_NAMES[] = {events(QV_EVENT_ROW){0, nullptr}};
QV_TRACE_CATEGORIES(QV_EVENT_TABLE)
#define QV_CATEGORY_ROW(name, bit, text, events) {bit, text, name##_NAMES},
const CategoryName kCategories[] = {QV_TRACE_CATEGORIES(QV_CATEGORY_ROW){0, nullptr, nullptr}};
#undef QV_CATEGORY_ROW
#undef QV_EVENT_TABLE
#undef QV_EVENT_ROW

const CategoryName* findCategory(int bit) {
    for (const CategoryName* c = kCategories; c->name; ++c)
        if (c->bit == bit) return c;
    return nullptr;
}

const char* findEvent(const CategoryName* cat, int number) {
    for (const EventName* e = cat->events; e->name; ++e)
        if (e->number == number) return e->name;
    return nullptr;
}

// The log's escapes, and those that keep quotes and NULs readable.
char escapeLetter(unsigned char c) {
    switch (c) {
    case '\'': return '\'';
    case '"': return '"';
    case '?': return '?';
    case 0: return '0';
    default: return ControlEscapeLetter(c);
    }
}

// Appends formatted text to the line, cut at the line end.
void addText(char* line, char*& cursor, const char* text) {
    int room = kLineSize - (int)(cursor - line);
    int n = (int)std::strlen(text);
    if (n > room) n = room > 0 ? room : 0;
    std::memcpy(cursor, text, n);
    cursor += n;
}

bool writeLine(FILE* file, char* line, char*& cursor) {
    *cursor++ = '\n';
    size_t n = cursor - line;
    cursor = line;
    return std::fwrite(line, 1, n, file) == n;
}

void indentTo(char* line, char*& cursor, int column) {
    if (column > kLineSize) column = kLineSize;
    while (cursor - line < column) *cursor++ = ' ';
}

// The clock, thread, category and event of a record.
void addHead(char* line, char*& cursor, const unsigned char* rec) {
    char work[96];
    int category = (int)GetLe16(rec + 4);
    int event = (int)GetLe16(rec + 6);
    std::snprintf(work, sizeof work, "%lu  %lx  ", (unsigned long)GetLe32(rec + 8), (unsigned long)GetLe32(rec + 12));
    addText(line, cursor, work);
    if (const CategoryName* cat = findCategory(category)) {
        addText(line, cursor, cat->name);
        if (const char* name = findEvent(cat, event)) {
            addText(line, cursor, "  ");
            addText(line, cursor, name);
        } else {
            std::snprintf(work, sizeof work, "  Code=%d", event);
            addText(line, cursor, work);
        }
    } else {
        std::snprintf(work, sizeof work, "Class=%d  Code=%d", category, event);
        addText(line, cursor, work);
    }
}

// A fixed-size item's value: numbers in decimal or hexadecimal, a class name as its text.
void addFixed(char* line, char*& cursor, char kind, uint64_t v) {
    char work[32];
    switch (kind) {
    case 'i':
    case 'o': std::snprintf(work, sizeof work, "%d", (int)(int32_t)(uint32_t)v); break;
    case 'c': {
        const char* name = reinterpret_cast<const char*>((ULONG_PTR)v);
        int room = kLineSize - (int)(cursor - line);
        // The recorded pointer is a static class name; a stale one must
        // not take the dump (or the fatal exit that asked for it) down.
        if (name && room > 0 && !IsBadStringPtrA(name, room)) {
            int n = (int)strnlen(name, room);
            std::memcpy(cursor, name, n);
            cursor += n;
        }
        return;
    }
    default: std::snprintf(work, sizeof work, "0x%llx", (unsigned long long)v); break;
    }
    addText(line, cursor, work);
}

// Formats one record into the file; false on a write error.
bool dumpRecord(FILE* file, const unsigned char* rec, int recLength) {
    char line[kLineSize + 2];
    char* cursor = line;
    unsigned items = GetLe16(rec + 2);
    addHead(line, cursor, rec);
    if (items == 0) return writeLine(file, line, cursor);
    addText(line, cursor, "  Data=");
    int dataColumn = (int)(cursor - line);
    const unsigned char* p = rec + TRACETABLE::HeaderSize;
    const unsigned char* end = rec + recLength;
    for (unsigned i = 0; i < items && p < end; ++i) {
        if (i > 0) {
            if (!writeLine(file, line, cursor)) return false;
            indentTo(line, cursor, dataColumn);
        }
        char kind = (char)*p++;
        if (const TRACEITEMKIND* fixed = FindTraceItemKind(kind)) {
            if (end - p < fixed->payload) return writeLine(file, line, cursor);
            addFixed(line, cursor, kind, GetLeN(p, fixed->payload));
            p += fixed->payload;
            continue;
        }
        switch (kind) {
        case 'd': {
            if (end - p < 2) return writeLine(file, line, cursor);
            int n = (int)GetLe16(p);
            p += 2;
            if (n > end - p) n = (int)(end - p);
            if (!WriteTraceData(file, line, &cursor, kLineSize, (const char*)p, n)) return false;
            p += n;
            break;
        }
        case 's': {
            int n = (int)strnlen((const char*)p, end - p);
            if (!WriteTraceData(file, line, &cursor, kLineSize, (const char*)p, n)) return false;
            p += n + 1;
            break;
        }
        default:
            // Not a kind that records anything: the rest cannot be decoded.
            return writeLine(file, line, cursor);
        }
    }
    return writeLine(file, line, cursor);
}

}  // namespace

BBOOL WriteTraceData(FILE* file, char* line, char** cursor, int lineSize, const char* data, int length) {
    char*& cur = *cursor;
    int itemColumn = (int)(cur - line);
    int limit = lineSize - 2;
    if (limit > kDataLimit) limit = kDataLimit;
    for (int i = 0; i < length; ++i) {
        char letter = escapeLetter((unsigned char)data[i]);
        if (limit - (int)(cur - line) < 2) {
            if (!writeLine(file, line, cur)) return FALSE;
            // An item that began near the line end continues at the margin.
            indentTo(line, cur, itemColumn < limit - 2 ? itemColumn : 0);
        }
        if (letter) {
            *cur++ = '\\';
            *cur++ = letter;
        } else {
            *cur++ = data[i];
        }
    }
    return TRUE;
}

namespace {

struct DumpContext {
    FILE* file;
    bool ok;
};

BBOOL dumpVisitor(const TRACERECORD* record, void* context) {
    DumpContext* dc = static_cast<DumpContext*>(context);
    if (!dumpRecord(dc->file, reinterpret_cast<const unsigned char*>(record), record->length)) dc->ok = false;
    return dc->ok ? TRUE : FALSE;
}

LOGFILE* g_systemLog = nullptr;

void writeSystemLog(const char* text) {
    LOGFILE* log = g_systemLog;
    if (!log) return;
    // The log's own lock may be held by the thread that failed: wait briefly.
    if (!log->lock.Reserve(2000, TRUE)) return;
    if (!log->IsOpen()) log->Open(FALSE);
    log->Write(text, nullptr);
    log->Close();
    log->lock.Release(TRUE);
}

}  // namespace

BBOOL WriteTraceTable(TRACETABLE* trace, const char* fileName) {
    FILE* file = fileName ? std::fopen(fileName, "wt") : nullptr;
    if (!file) return FALSE;
    DumpContext dc{file, true};
    if (trace) trace->Walk(&dumpVisitor, &dc);
    if (std::fclose(file) != 0) dc.ok = false;
    return dc.ok ? TRUE : FALSE;
}

void SetSystemLog(LOGFILE* log) { g_systemLog = log; }

LOGFILE* GetSystemLog() { return g_systemLog; }

void FillAbendHooks(TASKABENDHOOKS& hooks) {
    hooks.writeTrace = &WriteTraceTable;
    hooks.writeLog = &writeSystemLog;
}

void InstallAbendHooks(LOGFILE* systemLog) {
    SetSystemLog(systemLog);
    TASKABENDHOOKS hooks = {};
    FillAbendHooks(hooks);
    SetTaskAbendHooks(&hooks);
}

BBOOL DebugWriteTable(TABLE* table, const char* fileName) {
    FILE* file = std::fopen(fileName, "wt");
    if (!file) return FALSE;
    bool ok = true;
    // Lines grow as needed; the table's own work buffer is only a scratch area.
    size_t capacity = 1024, used = 0;
    char* line = (char*)std::malloc(capacity);
    auto add = [&](const char* text, size_t n) {
        if (!line) return;
        if (used + n + 2 > capacity) {
            size_t want = capacity;
            while (used + n + 2 > want) want *= 2;
            char* grown = (char*)std::realloc(line, want);
            if (!grown) {
                std::free(line);
                line = nullptr;
                return;
            }
            line = grown;
            capacity = want;
        }
        std::memcpy(line + used, text, n);
        used += n;
    };
    auto flush = [&]() {
        if (!line) {
            ok = false;
            return;
        }
        line[used++] = '\n';
        if (std::fwrite(line, 1, used, file) != used) ok = false;
        used = 0;
    };
    if (table) {
        for (COLUMN* col = table->FirstColumn(); col; col = table->NextColumn(col)) {
            add("\"", 1);
            add(col->name, strnlen(col->name, sizeof col->name));
            add("\" ", 2);
        }
        flush();
        char text[64];
        for (ROW* row = table->FirstRow(); row && ok; row = table->NextRow(row)) {
            for (COLUMN* col = table->FirstColumn(); col; col = table->NextColumn(col)) {
                text[0] = 0;
                if (FIELD* f = row->GetField(col->ColumnID())) f->GetData(BUFFER(text, sizeof text), TRUE);
                add("\"", 1);
                add(text, std::strlen(text));
                add("\" ", 2);
            }
            flush();
        }
    }
    std::free(line);
    if (std::fclose(file) != 0) ok = false;
    return ok ? TRUE : FALSE;
}

void DumpMemoryPool(MEMORYPOOL*, const char*, BBOOL) {}

void DumpBufferPool(BUFFERPOOL*, const char*, BBOOL) {}
