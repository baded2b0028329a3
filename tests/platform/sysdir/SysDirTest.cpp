#include <gtest/gtest.h>

#include "QvWindows.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "SysDir.h"

namespace {

// A scratch directory under the temporary directory, current while a test runs.
class SysDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmp[MAX_PATH];
        GetTempPathA(sizeof tmp, tmp);
        GetCurrentDirectoryA(sizeof saved, saved);
        root = std::string(tmp) + "qvsysdir" + std::to_string(GetCurrentProcessId());
        ASSERT_TRUE(SYSDIR::Create(root.c_str(), FALSE));
    }
    void TearDown() override {
        SetCurrentDirectoryA(saved);
        RemoveDirectoryA((root + "\\sub").c_str());
        DeleteFileA((root + "\\file.txt").c_str());
        RemoveDirectoryA(root.c_str());
    }
    std::string root;
    char saved[MAX_PATH];
};

}  // namespace

TEST_F(SysDirTest, ListsMakesAndRemovesDirectories) {
    EXPECT_TRUE(SYSDIR::Create((root + "\\sub\\name.dat").c_str(), TRUE));  // the file's directory
    EXPECT_FALSE(SYSDIR::Create((root + "\\sub").c_str(), FALSE));         // already there
    FILE* f = std::fopen((root + "\\file.txt").c_str(), "w");
    ASSERT_NE(nullptr, f);
    std::fclose(f);
    SYSDIR dir;
    ASSERT_TRUE(dir.Open(root.c_str()));
    std::vector<std::string> names;
    while (char* n = dir.Read()) names.push_back(n);
    dir.Close();
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{".", "..", "file.txt", "sub"}), names);
    EXPECT_TRUE(SYSDIR::Delete((root + "\\sub\\name.dat").c_str(), TRUE));
    EXPECT_FALSE(dir.Open((root + "\\sub").c_str()));
    EXPECT_NE(0, dir.Query());
    EXPECT_EQ(nullptr, dir.Read());
}

TEST_F(SysDirTest, CurrentDriveAndPath) {
    ASSERT_TRUE(SYSDIR::SetPath(root.c_str()));
    EXPECT_FALSE(SYSDIR::SetPath((root + "\\missing").c_str()));
    char drive[4];
    SYSDIR::GetDrive(BUFFER(drive, sizeof drive));
    ASSERT_EQ(1u, std::string(drive).size());
    EXPECT_EQ(toupper(root[0]), drive[0]);
    char path[MAX_PATH];
    SYSDIR::GetPath(nullptr, BUFFER(path, sizeof path), TRUE);
    EXPECT_STRCASEEQ(root.c_str(), path);
    SYSDIR::GetPath(drive, BUFFER(path, sizeof path), FALSE);
    EXPECT_STRCASEEQ(root.c_str() + 3, path);
    char small[8];
    SYSDIR::GetPath("", BUFFER(small, sizeof small), TRUE);
    EXPECT_EQ(7u, std::string(small).size());  // cut to what fits
    EXPECT_EQ(-1, SYSDIR::SetDrive("1"));
    EXPECT_EQ(0, SYSDIR::SetDrive(drive));
}
