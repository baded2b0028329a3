#include "LogFile.h"

#include <cctype>
#include <cstring>
#include <new>
#include <ctime>

#include "Profile.h"
#include "SysHelpers.h"

namespace {

const char kSeparatorChar = '=';
const int kSeparatorLength = 127;

void copyCut(char* dst, const char* src, size_t size) {
    if (!src) src = "";
    size_t n = std::strlen(src);
    if (n > size - 1) n = size - 1;
    std::memcpy(dst, src, n);
    dst[n] = 0;
}

}  // namespace

char ControlEscapeLetter(unsigned char c) {
    switch (c) {
    case 0x07: return 'a';
    case 0x08: return 'b';
    case 0x0C: return 'f';
    case 0x0A: return 'n';
    case 0x0D: return 'r';
    case 0x09: return 't';
    case 0x0B: return 'v';
    case '\\': return '\\';
    default: return 0;
    }
}

// ---------------------------------------------------------------- LOGBACKUP

LOGBACKUP::LOGBACKUP(const char* name, PROFILE* prof, int cnt)
    : enabled(0), count(0), profile(nullptr) {
    copyCut(logName, name, sizeof logName);
    copyCut(section, "Logfile Backup", sizeof section);
    copyCut(keyPrefix, "BACKUP_FILE", sizeof keyPrefix);
    EnableBackup(prof, cnt);
}

BBOOL LOGBACKUP::EnableBackup(PROFILE* prof, int cnt) {
    if (prof && cnt >= 1) {
        profile = prof;
        count = cnt;
        enabled = 1;
    } else {
        enabled = 0;
    }
    return enabled;
}

char* LOGBACKUP::CreateBackupName(BUFFER& name) {
    time_t now = std::time(nullptr);
    struct tm* lt = std::localtime(&now);
    char text[64];
    if (std::strcmp(logName, "SYSTEM") == 0) {
        std::strftime(text, sizeof text, "%y-%m-%d", lt);
    } else {
        char stamp[8];
        std::strftime(stamp, sizeof stamp, "%m%d", lt);
        std::snprintf(text, sizeof text, "%.4s%s", logName, stamp);
    }
    std::strcat(text, ".log");
    if (name.data && name.length > 0) {
        copyCut(name.data, text, name.length);
        name.length = (int)std::strlen(name.data) + 1;
    }
    return name.data;
}

BBOOL LOGBACKUP::IsBackupName(const char* fileName) const {
    if (!fileName) return FALSE;
    size_t n = std::strlen(fileName);
    auto digits = [&](size_t from, size_t len) {
        for (size_t i = from; i < from + len; ++i)
            if (!std::isdigit((unsigned char)fileName[i])) return false;
        return true;
    };
    if (n < 4 || _stricmp(fileName + n - 4, ".log") != 0) return FALSE;
    if (std::strcmp(logName, "SYSTEM") == 0) {
        return n == 12 && digits(0, 2) && fileName[2] == '-' && digits(3, 2) && fileName[5] == '-' &&
               digits(6, 2);
    }
    size_t prefix = std::strlen(logName);
    if (prefix > 4) prefix = 4;
    if (n != prefix + 8 || _strnicmp(fileName, logName, prefix) != 0) return FALSE;
    // The prefix comes from the log's own name, which may hold path characters.
    for (size_t i = 0; i < prefix; ++i)
        if (std::strchr("\\/:", fileName[i])) return FALSE;
    return digits(prefix, 4);
}

BBOOL LOGBACKUP::SaveToProfile(const char* fileName, BUFFER& dropped) {
    if (dropped.data && dropped.length > 0) dropped.data[0] = 0;
    if (!enabled || !profile) return FALSE;
    char key[64];
    char value[256];
    int freeSlot = 0;
    for (int i = 1; i <= count; ++i) {
        std::snprintf(key, sizeof key, "%s%d", keyPrefix, i);
        int got = profile->ReadString(section, key, BUFFER(value, sizeof value));
        if (got <= 0 || value[0] == 0) {
            freeSlot = i;
            break;
        }
        if (std::strcmp(value, fileName) == 0) return TRUE;
    }
    if (freeSlot) {
        std::snprintf(key, sizeof key, "%s%d", keyPrefix, freeSlot);
        profile->WriteString(section, key, fileName);
    } else {
        std::snprintf(key, sizeof key, "%s%d", keyPrefix, 1);
        profile->ReadString(section, key, BUFFER(value, sizeof value));
        if (dropped.data && dropped.length > 0) copyCut(dropped.data, value, dropped.length);
        for (int i = 1; i < count; ++i) {
            std::snprintf(key, sizeof key, "%s%d", keyPrefix, i + 1);
            profile->ReadString(section, key, BUFFER(value, sizeof value));
            std::snprintf(key, sizeof key, "%s%d", keyPrefix, i);
            profile->WriteString(section, key, value);
        }
        std::snprintf(key, sizeof key, "%s%d", keyPrefix, count);
        profile->WriteString(section, key, fileName);
    }
    profile->WriteFile(nullptr);
    return TRUE;
}

// ---------------------------------------------------------------- LOGFILE

LOGFILE::LOGFILE(const char* name, const char* ttl)
    : signature('L' | ('F' << 8) | ('I' << 16) | ((unsigned long)'L' << 24)),
      file(nullptr),
      backup(nullptr),
      translate(0),
      lock(TRUE) {
    copyCut(baseName, name, sizeof baseName);
    std::snprintf(fileName, sizeof fileName, "%s.DAT", baseName);
    title[0] = 0;
    header[0] = 0;
    if (ttl) SetTitle(ttl, name);
}

LOGFILE::~LOGFILE() {
    closeFile();
    delete backup;
}

BBOOL LOGFILE::IsOwner() { return TRUE; }

void LOGFILE::SetTitle(const char* text, const char* suffix) {
    char work[512];
    std::snprintf(work, sizeof work, "%s%s%s", text ? text : "", suffix ? " " : "", suffix ? suffix : "");
    copyCut(title, work, sizeof title);
}

void LOGFILE::SetHeader(const char* text, const char* suffix) {
    char work[512];
    std::snprintf(work, sizeof work, "%s%s%s", text ? text : "", suffix ? " " : "", suffix ? suffix : "");
    copyCut(header, work, sizeof header);
}

BBOOL LOGFILE::EnableBackup(PROFILE* profile, int count) {
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    BBOOL result;
    if (backup) {
        result = TRUE;
    } else if (!profile || count < 1 || file) {
        result = FALSE;
    } else {
        backup = new LOGBACKUP(baseName, profile, count);
        result = backup->enabled ? TRUE : FALSE;
        if (!result) {
            delete backup;
            backup = nullptr;
        }
    }
    lock.Release(FALSE);
    return result;
}

BBOOL LOGFILE::openLocked(BBOOL truncate) {
    if (file) closeLocked();
    if (backup && backup->enabled) {
        BUFFER name(fileName, sizeof fileName);
        backup->CreateBackupName(name);
    }
    file = std::fopen(fileName, truncate ? "wt" : "at");
    if (!file) return FALSE;
    char line[kSeparatorLength + 2];
    std::memset(line, kSeparatorChar, kSeparatorLength);
    line[kSeparatorLength] = '\n';
    line[kSeparatorLength + 1] = 0;
    std::fputs(line, file);
    outputMessage(title, " log started");
    if (header[0]) outputMessage(header, nullptr);
    return TRUE;
}

BBOOL LOGFILE::Open(BBOOL truncate) {
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    BBOOL ok = openLocked(truncate);
    lock.Release(FALSE);
    return ok;
}

void LOGFILE::closeLocked() {
    if (!file) return;
    outputMessage(title, " log stopped");
    std::fflush(file);
    if (backup && backup->enabled) {
        char dropped[256];
        BUFFER out(dropped, sizeof dropped);
        backup->SaveToProfile(fileName, out);
        // An edited history must not make us delete someone else's file.
        if (dropped[0] && backup->IsBackupName(dropped)) DeleteFileA(dropped);
    }
    closeFile();
}

void LOGFILE::Close() {
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    closeLocked();
    lock.Release(FALSE);
}

void LOGFILE::Clear() {
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    if (file) {
        closeLocked();
        openLocked(TRUE);
    } else if (openLocked(TRUE)) {
        closeLocked();
    }
    lock.Release(FALSE);
}

BBOOL LOGFILE::Write(const char* text1, const char* text2) {
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    BBOOL ok = FALSE;
    if (file) {
        outputMessage(text1, text2);
        ok = TRUE;
    }
    lock.Release(FALSE);
    return ok;
}

void LOGFILE::FlushLog() {
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    if (file) std::fflush(file);
    lock.Release(FALSE);
}

void LOGFILE::outputMessage(const char* text1, const char* text2) {
    if (!IsOwner() || !file) return;
    char date[16], time[16];
    GetDateTime(date, time);
    std::fprintf(file, "%s %s  ", date, time);
    if (translate) {
        writeTranslatedMsg(text1);
        writeTranslatedMsg(text2);
    } else {
        if (text1) std::fputs(text1, file);
        if (text2) std::fputs(text2, file);
    }
    std::fputc('\n', file);
}

void LOGFILE::writeTranslatedMsg(const char* text) {
    if (!text || !file) return;
    const char* run = text;
    for (const char* p = text; *p; ++p) {
        char letter = ControlEscapeLetter((unsigned char)*p);
        if (!letter) continue;
        if (p > run) std::fwrite(run, 1, p - run, file);
        std::fputc('\\', file);
        std::fputc(letter, file);
        run = p + 1;
    }
    std::fputs(run, file);
}

BBOOL LOGFILE::closeFile() {
    if (!file) return FALSE;
    int rc = std::fclose(file);
    file = nullptr;
    return rc == 0;
}

BBOOL LOGFILE::FileCopy(const char* destination) {
    lock.Reserve(QV_WAIT_FOREVER, TRUE);
    BBOOL ok = FALSE;
    const int kChunk = 4096;
    char* chunk = new (std::nothrow) char[kChunk];
    FILE* out = chunk ? std::fopen(destination, "wb") : nullptr;
    if (out) {
        bool wasOpen = file != nullptr;
        bool closed = true;
        if (wasOpen) {
            std::fflush(file);
            closed = closeFile() != FALSE;
        }
        FILE* in = closed ? std::fopen(fileName, "rb") : nullptr;
        if (in) {
            ok = TRUE;
            for (;;) {
                size_t got = std::fread(chunk, 1, kChunk, in);
                if (got && std::fwrite(chunk, 1, got, out) != got) {
                    ok = FALSE;
                    break;
                }
                if (got < (size_t)kChunk) break;
            }
            std::fclose(in);
        }
        if (std::fclose(out) != 0) ok = FALSE;
        if (wasOpen) {
            file = std::fopen(fileName, "at");
            if (!file) ok = FALSE;
        }
    }
    delete[] chunk;
    lock.Release(FALSE);
    return ok;
}

// ---------------------------------------------------------------- HELPFILE

HELPFILE::HELPFILE(const char* file, const char* capt, int ctx)
    : window(nullptr), context(ctx), helpShown(0) {
    copyCut(helpFile, file, sizeof helpFile);
    copyCut(caption, capt, sizeof caption);
}

HELPFILE::~HELPFILE() {
    if (helpShown) WinHelpA(window, helpFile, HELP_QUIT, 0);
}

BBOOL HELPFILE::InitHelp() { return TRUE; }

BBOOL HELPFILE::DisplayIndex() { return DisplaySysTop(HELP_INDEX); }

BBOOL HELPFILE::DisplaySysTop(int command) {
    if (!InitHelp() || !window || !helpFile[0]) return FALSE;
    if (!WinHelpA(window, helpFile, command, 0)) return FALSE;
    helpShown = 1;
    return TRUE;
}

BBOOL HELPFILE::DisplayTopic(int topic) {
    if (!InitHelp() || !window || !helpFile[0]) return FALSE;
    if (!WinHelpA(window, helpFile, HELP_CONTEXT, topic)) return FALSE;
    helpShown = 1;
    return TRUE;
}

void HELPFILE::SetWindow(HWND wnd) {
    if (helpShown) WinHelpA(window, helpFile, HELP_QUIT, 0);
    window = wnd;
}
