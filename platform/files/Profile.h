#pragma once
// INI-style profiles: the whole file as a table of section, key and value,
// one row per line, so comments and order survive a read-modify-write.
#include <cstdio>
#include <string>

#include "Table.h"

// The file calls through which WriteFile writes; a test replaces them to make
// a write, the flush or the close fail as a full disk would.
struct PROFILEFILEOPS {
    size_t (*write)(const void* data, size_t size, size_t count, FILE* file);
    int (*flush)(FILE* file);
    int (*close)(FILE* file);
};
extern PROFILEFILEOPS _ProfileFileOps;

class PROFILE : public TABLE {
public:
    COLUMN* sectionColumn;
    COLUMN* keyColumn;
    COLUMN* valueColumn;
    int loaded;
    int status;
    char fileName[256];

    explicit PROFILE(const char* fileName = nullptr, BBOOL readNow = FALSE);
    ~PROFILE() override;

    int ReadFile(const char* fileName, BBOOL mustExist);
    int WriteFile(const char* fileName);
    int ReadString(const char* section, const char* key, const BUFFER& value);
    int ReadINT(const char* section, const char* key, int& value);
    int ReadBOOL(const char* section, const char* key, BBOOL& value);
    void WriteString(const char* section, const char* key, const char* value);
    void DeleteString(const char* section, const char* key, const char* value);
    int ListStrings(const char* section, const BUFFER& out);
    int ReadKeyString(const char* section, const BUFFER& key, const BUFFER& value);
    int ReadFileString(const char* section, const BUFFER& key, const BUFFER& value);
    ROW* FindRow(const char* section, const char* key, const char* value, BBOOL partial);
    BBOOL CheckMatch(ROW* row, COLUMN* column, const char* text, BBOOL partial);
    static char* StripWhite(char* text);

private:
    ROW* newRow(bSPOINTER* before);
    bool fieldText(ROW* row, COLUMN* column, std::string& out);
    void setText(ROW* row, COLUMN* column, const char* text, size_t length);
    int copyOut(ROW* row, const BUFFER& key, const BUFFER& value);
};
