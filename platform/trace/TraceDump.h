#pragma once
// Readable dumps: the trace ring, a table, and the fatal exit's diagnostics.
#include <cstdio>

#include "QvBase.h"

class TRACETABLE;
class TABLE;
class LOGFILE;
class MEMORYPOOL;
class BUFFERPOOL;
struct TASKABENDHOOKS;

// Writes the held trace records as text; an empty file when nothing is held.
BBOOL WriteTraceTable(TRACETABLE* trace, const char* fileName);
// Appends data, escaped, to the line under construction at *cursor, writing
// out and continuing lines indented to where the item began.
BBOOL WriteTraceData(FILE* file, char* line, char** cursor, int lineSize, const char* data, int length);
// Writes the column names and every row as quoted text.
BBOOL DebugWriteTable(TABLE* table, const char* fileName);
// Dump hooks of the fatal exit; they write nothing.
void DumpMemoryPool(MEMORYPOOL* pool, const char* fileName, BBOOL append);
void DumpBufferPool(BUFFERPOOL* pool, const char* fileName, BBOOL append);

// The log the fatal exit writes its message to (opened if needed, then closed).
void SetSystemLog(LOGFILE* log);
LOGFILE* GetSystemLog();
// Sets the fatal exit's trace-dump and system-log steps in hooks.
void FillAbendHooks(TASKABENDHOOKS& hooks);
// Registers the system log and installs the hooks above alone.
void InstallAbendHooks(LOGFILE* systemLog);
