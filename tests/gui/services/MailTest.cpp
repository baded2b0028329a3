#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "StandInFormat.h"
#include "TestAids.h"
#include "zMail.h"

namespace {

void Report(const char* what, int valid, ULONG rc) {
    std::printf("%s valid=%d rc=%lu\n", what, valid, (unsigned long)rc);
}

}  // namespace

// A note with one file, then one with an empty path.
QV_CHILD_CASE(MailOneThenNone) {
    zMail mail;
    Report("one", mail.isValid(), mail.send("hello", "C:\\a.txt"));
    Report("none", mail.isValid(), mail.send("again", ""));
    std::fflush(stdout);
}

QV_CHILD_CASE(MailTwoFiles) {
    zMail mail;
    ZKTPtrSlist<ZKCString> paths;
    paths.append(new ZKCString("C:\\a.txt"));
    paths.append(new ZKCString("C:\\b.txt"));
    Report("two", mail.isValid(), mail.send("both", paths));
    paths.clearAndDestroy();
    std::fflush(stdout);
}

namespace {

struct Call {
    std::string call, result;
    std::vector<std::pair<std::string, std::string>> fields;  // in order; keys repeat per attachment
    std::string field(const std::string& key) const {
        for (const auto& f : fields)
            if (f.first == key) return f.second;
        return "<none>";
    }
};

// Runs child cases with the stand-in mapi32.dll (or none) and reads its journal.
class MailStandIn {
public:
    // present: the stand-in loads; otherwise no mapi32 loads at all.
    MailStandIn(bool present, const std::string& scenario) {
        char cwd[MAX_PATH];
        GetCurrentDirectoryA(sizeof cwd, cwd);
        const testing::TestInfo* t = testing::UnitTest::GetInstance()->current_test_info();
        files_ = std::string(cwd) + "\\standins_" + t->test_suite_name() + "_" + t->name() + "\\";
        CreateDirectoryA(files_.c_str(), nullptr);
        DeleteFileA((files_ + standin::kJournalFile).c_str());
        std::ofstream(files_ + standin::kScenarioFile, std::ios::binary) << scenario;
        save(standin::kFolderVariable);
        SetEnvironmentVariableA(standin::kFolderVariable, files_.c_str());
        // Never Wine's own mapi32: it starts a browser. A child of a Wine process
        // ignores WINEDLLOVERRIDES in the environment it is given; the program's
        // own overrides in the registry hold.
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kOverrides.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            char old[64];
            DWORD size = sizeof old, type = 0;
            hadOverride_ = RegQueryValueExA(key, "mapi32", nullptr, &type, (BYTE*)old, &size) == ERROR_SUCCESS;
            if (hadOverride_) oldOverride_.assign(old, size ? size - 1 : 0);
            const char* value = present ? "native" : "";
            RegSetValueExA(key, "mapi32", 0, REG_SZ, (const BYTE*)value, DWORD(strlen(value) + 1));
            RegCloseKey(key);
        }
    }
    ~MailStandIn() {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kOverrides.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            if (hadOverride_)
                RegSetValueExA(key, "mapi32", 0, REG_SZ, (const BYTE*)oldOverride_.c_str(), DWORD(oldOverride_.size() + 1));
            else
                RegDeleteValueA(key, "mapi32");
            RegCloseKey(key);
        }
        for (const auto& v : saved_)
            SetEnvironmentVariableA(v.first.c_str(), v.second.first ? v.second.second.c_str() : nullptr);
    }
    // The build copies the stand-in beside this program, where the loader looks first.
    static bool built() {
        return GetFileAttributesA((qvaid::ProgramDir() + "mapi32.dll").c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::string run(const char* childCase) const {
        qvtest::ChildResult r = qvtest::RunChild(childCase, "", 30000);
        EXPECT_EQ(0u, r.exitCode) << r.output;
        return r.output;
    }
    std::vector<Call> journal() const {
        std::ifstream in(files_ + standin::kJournalFile, std::ios::binary);
        std::vector<Call> calls;
        std::string line;
        while (std::getline(in, line)) {
            std::vector<std::string> cols;
            std::stringstream s(line);
            for (std::string c; std::getline(s, c, '\t');) cols.push_back(c);
            if (cols.size() < 5 || cols[2] != standin::kMapi32) continue;
            Call c{cols[3], cols[4], {}};
            for (size_t i = 5; i < cols.size(); ++i) {
                size_t eq = cols[i].find('=');
                c.fields.push_back({cols[i].substr(0, eq), eq == std::string::npos ? "" : cols[i].substr(eq + 1)});
            }
            calls.push_back(c);
        }
        return calls;
    }

private:
    void save(const char* name) {
        char buf[4096];
        DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
        saved_[name] = {n > 0 && n < sizeof buf, n < sizeof buf ? std::string(buf, n) : std::string()};
    }
    const std::string kOverrides = "Software\\Wine\\AppDefaults\\" + qvaid::ProgramName() + "\\DllOverrides";
    std::string files_;
    std::map<std::string, std::pair<bool, std::string>> saved_;
    bool hadOverride_ = false;
    std::string oldOverride_;
};

// "MAPILogon flags=1" and the like: the call and the fields that matter.
std::vector<std::string> Summary(const std::vector<Call>& calls) {
    std::vector<std::string> out;
    for (const Call& c : calls) {
        std::string s = c.call + " " + c.result;
        for (const auto& f : c.fields) s += " " + f.first + "=" + f.second;
        out.push_back(s);
    }
    return out;
}

}  // namespace

TEST(Mail, SendsTheNoteAndFilesThroughSimpleMapi) {
    MailStandIn mapi(true, "");
    ASSERT_TRUE(mapi.built()) << "mapi32.dll is copied beside the program by the build";
    std::string out = mapi.run("MailOneThenNone");
    EXPECT_NE(std::string::npos, out.find("one valid=1 rc=0")) << out;
    EXPECT_NE(std::string::npos, out.find("none valid=1 rc=0")) << out;
    std::vector<std::string> expected = {
        "MAPILogon 0 flags=1",
        "MAPISendMail 0 handle=0 flags=8 note=hello files=1 path=C:\\a.txt position=4294967295",
        "MAPILogon 0 flags=1",
        "MAPISendMail 0 handle=0 flags=8 note=again files=0",
    };
    EXPECT_EQ(expected, Summary(mapi.journal()));
}

TEST(Mail, AListAttachesEveryFile) {
    MailStandIn mapi(true, "");
    ASSERT_TRUE(mapi.built());
    std::string out = mapi.run("MailTwoFiles");
    EXPECT_NE(std::string::npos, out.find("two valid=1 rc=0")) << out;
    std::vector<std::string> expected = {
        "MAPILogon 0 flags=1",
        "MAPISendMail 0 handle=0 flags=8 note=both files=2 path=C:\\a.txt position=4294967295 path=C:\\b.txt "
        "position=4294967295",
    };
    EXPECT_EQ(expected, Summary(mapi.journal()));
}

TEST(Mail, AFailedLogonIsTriedAgainInANewSession) {
    struct Case {
        const char* scenario;
        std::vector<std::string> journal;
        const char* results;
    } cases[] = {
        {"[MAPI]\r\nFailLogons=1\r\n",
         {"MAPILogon 3 flags=1", "MAPILogon 0 flags=3",
          "MAPISendMail 0 handle=0 flags=8 note=hello files=1 path=C:\\a.txt position=4294967295",
          "MAPILogon 0 flags=3", "MAPISendMail 0 handle=0 flags=8 note=again files=0"},
         "one valid=1 rc=0"},
        // Both logons of the first send fail: it sends nothing and says why.
        {"[MAPI]\r\nFailLogons=2\r\n",
         {"MAPILogon 3 flags=1", "MAPILogon 3 flags=3", "MAPILogon 0 flags=3",
          "MAPISendMail 0 handle=0 flags=8 note=again files=0"},
         "one valid=1 rc=3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        MailStandIn mapi(true, c.scenario);
        ASSERT_TRUE(mapi.built());
        std::string out = mapi.run("MailOneThenNone");
        EXPECT_NE(std::string::npos, out.find(c.results)) << out;
        EXPECT_EQ(c.journal, Summary(mapi.journal()));
    }
}

TEST(Mail, WithoutTheLibraryNothingIsSent) {
    MailStandIn none(false, "");
    std::string out = none.run("MailOneThenNone");
    EXPECT_NE(std::string::npos, out.find("one valid=0 rc=2")) << out;
    EXPECT_NE(std::string::npos, out.find("none valid=0 rc=2")) << out;
    EXPECT_TRUE(none.journal().empty());
}
