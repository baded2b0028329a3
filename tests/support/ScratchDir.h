#pragma once
// Tests that work on files: each test runs in a directory of its own below the
// program's working directory, emptied first so that leftovers of an earlier
// run cannot change the result.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace qvtest {

// Removes what lies in the directory, subdirectories included.
inline void EmptyDirectory(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        if (!std::strcmp(fd.cFileName, ".") || !std::strcmp(fd.cFileName, "..")) continue;
        std::string path = dir + "\\" + fd.cFileName;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            EmptyDirectory(path);
            RemoveDirectoryA(path.c_str());
        } else {
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

// The whole file, or "<missing>".
inline std::string FileText(const std::string& name) {
    std::string out;
    FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) return "<missing>";
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

// The file's lines without their CR LF; a last line without one is marked.
inline std::vector<std::string> FileLines(const std::string& name) {
    std::vector<std::string> lines;
    std::string text = FileText(name);
    size_t at = 0, end;
    while ((end = text.find("\r\n", at)) != std::string::npos) {
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    if (at < text.size()) lines.push_back(text.substr(at) + "<no line end>");
    return lines;
}

inline bool PutFile(const std::string& name, const std::string& bytes) {
    FILE* f = std::fopen(name.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Fixture: the current directory is "<prefix>_<test name>" while a test runs.
class ScratchDirTest : public testing::Test {
protected:
    explicit ScratchDirTest(const char* prefix) : prefix_(prefix) {}

    void SetUp() override {
        char cwd[MAX_PATH];
        GetCurrentDirectoryA(sizeof cwd, cwd);
        home = cwd;
        dir = home + "\\" + prefix_ + "_" + testing::UnitTest::GetInstance()->current_test_info()->name();
        CreateDirectoryA(dir.c_str(), nullptr);
        EmptyDirectory(dir);
        ASSERT_TRUE(SetCurrentDirectoryA(dir.c_str())) << dir;
    }
    void TearDown() override { SetCurrentDirectoryA(home.c_str()); }

    static void Put(const std::string& name, const std::string& bytes) { ASSERT_TRUE(PutFile(name, bytes)) << name; }
    static std::string Get(const std::string& name) { return FileText(name); }
    static std::vector<std::string> Lines(const std::string& name) { return FileLines(name); }

    std::string home, dir;

private:
    const char* prefix_;
};

}  // namespace qvtest
