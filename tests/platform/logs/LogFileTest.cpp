#include <gtest/gtest.h>
#include "QvWindows.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "LogFile.h"
#include "Profile.h"
#include "ScratchDir.h"

namespace {

class LogFileTest : public qvtest::ScratchDirTest {
protected:
    LogFileTest() : ScratchDirTest("logs") {}

    static void Touch(const std::string& name) { Put(name, ""); }
    static bool Exists(const std::string& name) { return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES; }
    static std::string Today(const char* format) {
        time_t now = std::time(nullptr);
        char text[32];
        std::strftime(text, sizeof text, format, std::localtime(&now));
        return text;
    }
};

const std::string kStamp = R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d  )";

bool Stamped(const std::string& line, const std::string& text) {
    return std::regex_match(line, std::regex(kStamp + text));
}

}  // namespace

TEST_F(LogFileTest, WritesFramedStampedLines) {
    LOGFILE log("SYSTEM", "Quorvane");
    ASSERT_TRUE(log.Open(FALSE));
    EXPECT_TRUE(log.Write("first ", "second"));
    EXPECT_TRUE(log.Write(nullptr, "only"));
    log.Close();
    EXPECT_FALSE(log.Write("closed", nullptr));
    auto lines = Lines("SYSTEM.DAT");
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ(std::string(127, '='), lines[0]);
    EXPECT_TRUE(Stamped(lines[1], "Quorvane SYSTEM log started")) << lines[1];
    EXPECT_TRUE(Stamped(lines[2], "first second")) << lines[2];
    EXPECT_TRUE(Stamped(lines[3], "only")) << lines[3];
    EXPECT_TRUE(Stamped(lines[4], "Quorvane SYSTEM log stopped")) << lines[4];
}

TEST_F(LogFileTest, HeaderTitleAndReopening) {
    LOGFILE log("HTTP");
    log.SetHeader("Version", "1.0");
    ASSERT_TRUE(log.Open(TRUE));
    ASSERT_TRUE(log.Open(FALSE));  // closes first: one stopped line, a new header block
    log.Close();
    auto lines = Lines("HTTP.DAT");
    ASSERT_EQ(8u, lines.size());
    EXPECT_TRUE(Stamped(lines[1], " log started")) << lines[1];
    EXPECT_TRUE(Stamped(lines[2], "Version 1.0")) << lines[2];
    EXPECT_TRUE(Stamped(lines[3], " log stopped")) << lines[3];
    EXPECT_EQ(std::string(127, '='), lines[4]);
    // Titles are cut to 127 characters.
    log.SetTitle(std::string(300, 't').c_str());
    EXPECT_EQ(127u, std::strlen(log.title));
}

TEST_F(LogFileTest, TranslatesControlCharacters) {
    LOGFILE log("TR");
    log.translate = 1;
    ASSERT_TRUE(log.Open(TRUE));
    log.Write("a\tb\\c\r\n\a\b\f\v", "\x01z");
    log.Close();
    auto lines = Lines("TR.DAT");
    ASSERT_EQ(4u, lines.size());
    EXPECT_EQ("a\\tb\\\\c\\r\\n\\a\\b\\f\\v\x01z", lines[2].substr(19));
}

TEST_F(LogFileTest, ClearOnAClosedLogLeavesTheFrame) {
    LOGFILE log("CL", "T");
    ASSERT_TRUE(log.Open(TRUE));
    log.Write("gone", nullptr);
    log.Close();
    log.Clear();
    EXPECT_FALSE(log.IsOpen());
    auto lines = Lines("CL.DAT");
    ASSERT_EQ(3u, lines.size());
    EXPECT_TRUE(Stamped(lines[1], "T CL log started"));
    EXPECT_TRUE(Stamped(lines[2], "T CL log stopped"));
}

TEST_F(LogFileTest, DatedNamesWithBackups) {
    PROFILE prof("hist.ini");
    ASSERT_EQ(0, prof.ReadFile(nullptr, FALSE));
    struct Case {
        const char* name;
        std::string file;
    } cases[] = {
        {"SYSTEM", Today("%y-%m-%d") + ".log"},
        {"System", "Syst" + Today("%m%d") + ".log"},
        {"HTTP", "HTTP" + Today("%m%d") + ".log"},
        {"FTP", "FTP" + Today("%m%d") + ".log"},
    };
    for (const auto& c : cases) {
        LOGFILE log(c.name);
        EXPECT_FALSE(log.EnableBackup(nullptr, 2));
        EXPECT_FALSE(log.EnableBackup(&prof, 0));
        ASSERT_TRUE(log.EnableBackup(&prof, 2));
        ASSERT_TRUE(log.Open(FALSE));
        EXPECT_EQ(c.file, log.fileName);
        EXPECT_TRUE(log.EnableBackup(&prof, 2));  // already attached
        log.Close();
        EXPECT_TRUE(Exists(c.file)) << c.file;
    }
    LOGFILE open("OPEN");
    ASSERT_TRUE(open.Open(TRUE));
    EXPECT_FALSE(open.EnableBackup(&prof, 2));
    EXPECT_EQ("OPEN.DAT", std::string(open.fileName));
}

TEST_F(LogFileTest, HistoryDropsTheOldestOwnFile) {
    const std::string today = Today("%y-%m-%d") + ".log";
    Put("hist.ini", "[Logfile Backup]\r\nBACKUP_FILE1=20-01-01.log\r\nBACKUP_FILE2=20-01-02.log\r\n");
    Touch("20-01-01.log");
    Touch("20-01-02.log");
    PROFILE prof("hist.ini", TRUE);
    LOGFILE log("SYSTEM");
    ASSERT_TRUE(log.EnableBackup(&prof, 2));
    ASSERT_TRUE(log.Open(FALSE));
    log.Close();
    ASSERT_TRUE(log.Open(FALSE));
    log.Close();  // the same dated file is recorded once
    EXPECT_FALSE(Exists("20-01-01.log"));
    EXPECT_TRUE(Exists("20-01-02.log"));
    EXPECT_EQ("[Logfile Backup]\r\nBACKUP_FILE1 = 20-01-02.log\r\nBACKUP_FILE2 = " + today + "\r\n", Get("hist.ini"));
}

TEST_F(LogFileTest, HistoryNeverDeletesForeignNames) {
    Put("hist.ini", "[Logfile Backup]\r\nBACKUP_FILE1=keep.txt\r\n");
    Touch("keep.txt");
    PROFILE prof("hist.ini", TRUE);
    LOGFILE log("SYSTEM");
    ASSERT_TRUE(log.EnableBackup(&prof, 1));
    ASSERT_TRUE(log.Open(FALSE));
    log.Close();
    EXPECT_TRUE(Exists("keep.txt"));

    struct Case {
        const char* log;
        const char* name;
        bool own;
    } cases[] = {
        {"SYSTEM", "26-12-10.log", true}, {"SYSTEM", "..\\26-12-10.log", false},
        {"SYSTEM", "26-12-1x.log", false}, {"SYSTEM", "26-12-10.txt", false},
        {"HTTP", "HTTP1210.log", true},   {"HTTP", "HTTP1210.LOG", true},
        {"HTTP", "FTP01210.log", false},  {"HTTP", "c:\\HTTP1210.log", false},
        {"FTP", "FTP1210.log", true},     {"HTTPPROXY", "HTTP1210.log", true},
    };
    for (const auto& c : cases) {
        LOGBACKUP b(c.log, &prof, 1);
        EXPECT_EQ(c.own, b.IsBackupName(c.name) != FALSE) << c.log << " " << c.name;
    }
}

TEST_F(LogFileTest, CopiesTheLogAndKeepsWriting) {
    LOGFILE log("CP", "Copy");
    ASSERT_TRUE(log.Open(TRUE));
    log.Write("line", nullptr);
    ASSERT_TRUE(log.FileCopy("copy.txt"));
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ(Get("CP.DAT"), Get("copy.txt"));
    log.Write("after", nullptr);
    log.Close();
    auto lines = Lines("CP.DAT");
    ASSERT_EQ(5u, lines.size());
    EXPECT_TRUE(Stamped(lines[3], "after"));

    EXPECT_FALSE(log.FileCopy("nodir\\copy.txt"));
    LOGFILE never("NEVER");
    EXPECT_FALSE(never.FileCopy("copy2.txt"));
}

TEST_F(LogFileTest, HelpNeedsAWindowAndAFile) {
    HELPFILE none(nullptr, nullptr, 7);
    EXPECT_STREQ("", none.helpFile);
    EXPECT_EQ(7, none.context);
    EXPECT_FALSE(none.DisplayIndex());
    HELPFILE help(std::string(300, 'h').c_str(), "Caption", 0);
    EXPECT_EQ(255u, std::strlen(help.helpFile));
    EXPECT_FALSE(help.DisplayTopic(1));  // no window yet
    EXPECT_FALSE(help.helpShown);
}

namespace {

struct Writer {
    LOGFILE* log;
    int id;
};

DWORD WINAPI WriteLines(void* arg) {
    Writer* w = static_cast<Writer*>(arg);
    char text[32];
    for (int i = 0; i < 150; ++i) {
        std::snprintf(text, sizeof text, "T%d line %d ", w->id, i);
        w->log->Write(text, std::string(40, 'x').c_str());
    }
    return 0;
}

}  // namespace

TEST_F(LogFileTest, LinesStayWholeWhileTheLogIsReopened) {
    LOGFILE log("MT", "Multi");
    ASSERT_TRUE(log.Open(TRUE));
    Writer writers[4];
    HANDLE threads[4];
    for (int i = 0; i < 4; ++i) {
        writers[i] = {&log, i};
        threads[i] = CreateThread(nullptr, 0, WriteLines, &writers[i], 0, nullptr);
    }
    for (int i = 0; i < 10; ++i) {
        Sleep(2);
        log.Open(FALSE);  // as at midnight: close and open again
    }
    WaitForMultipleObjects(4, threads, TRUE, INFINITE);
    for (HANDLE h : threads) CloseHandle(h);
    log.Close();
    int written = 0;
    const std::regex line(kStamp + "T\\d line \\d+ x{40}");
    const std::regex frame(kStamp + "Multi MT log (started|stopped)");
    for (const std::string& l : Lines("MT.DAT")) {
        if (std::regex_match(l, line))
            ++written;
        else
            EXPECT_TRUE(l == std::string(127, '=') || std::regex_match(l, frame)) << l;
    }
    EXPECT_EQ(600, written);
}
