#include "StandInHarness.h"

#include "QvWindows.h"

#include <cstdio>
#include <cstdlib>

#include "ScratchDir.h"
#include "StandInFormat.h"
#include "TestAids.h"

namespace qvtest {
namespace {

const char* const kCurrentConnection = standin::kCurrentConnectionKey;
const char* const kPersistentRoutes = standin::kPersistentRoutesKey;
const char* const kVariables[] = {standin::kFolderVariable, "WINEDLLOVERRIDES", "PATH"};

std::string Variable(const char* name, bool* present) {
    char value[8192];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    *present = n > 0 && n < sizeof value;
    return *present ? std::string(value, n) : std::string();
}

void CreateKey(HKEY root, const char* path) {
    HKEY key;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

std::string OverridesKey(const std::string& program) {
    return "Software\\Wine\\AppDefaults\\" + program + "\\DllOverrides";
}

}  // namespace

QV_CHILD_CASE(StandInVersionProbe) {
    OSVERSIONINFOA v = {};
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
    std::printf("platform=%lu\n", (unsigned long)v.dwPlatformId);
}

struct DialUpStandIns::Saved {
    std::unique_ptr<qvaid::WindowsVersionScope> version;
    std::map<std::string, std::pair<bool, std::string>> variables;
    std::map<std::string, std::pair<bool, std::string>> overrides;  // by library: had one, its value
};

namespace {
// The libraries a choice replaces: remote access, and on Windows 95 telephony too.
std::vector<std::string> Replaced(RemoteAccess choice) {
    if (choice == RemoteAccess::Win95) return {"rasapi32", "tapi32"};
    return {"rasapi32"};
}
std::vector<std::string> OverriddenPrograms(RemoteAccess choice) {
    if (choice == RemoteAccess::Win95) return {qvaid::ProgramName(), "dunhost.exe"};
    return {qvaid::ProgramName()};
}
}  // namespace

DialUpStandIns::DialUpStandIns(RemoteAccess choice, const char* version) : saved_(new Saved) {
    standIns_ = VariantFolder(choice == RemoteAccess::Win95 ? "win95" : "nt");
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test ? std::string(test->test_suite_name()) + "_" + test->name() : "files";
    for (char& c : name)
        if (c == '/' || c == '\\') c = '_';  // parameterised tests name themselves with slashes
    files_ = std::string(cwd) + "\\standins_" + name;
    CreateDirectoryA(files_.c_str(), nullptr);
    EmptyDirectory(files_);
    files_ += "\\";

    for (const char* name : kVariables) {
        bool present;
        std::string value = Variable(name, &present);
        saved_->variables[name] = {present, value};
    }
    std::string overrideValue = choice == RemoteAccess::Absent ? "" : "native";
    SetEnvironmentVariableA(standin::kFolderVariable, files_.c_str());
    SetEnvironmentVariableA("WINEDLLOVERRIDES", choice == RemoteAccess::Absent ? "rasapi32="
                                                : choice == RemoteAccess::Win95 ? "rasapi32,tapi32=n"
                                                                                : "rasapi32=n");
    std::string path = standIns_ + ";" + saved_->variables["PATH"].second;
    SetEnvironmentVariableA("PATH", path.c_str());

    // Children read their overrides from the registry: this program's, and the host's on Windows 95.
    for (const std::string& program : OverriddenPrograms(choice)) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, OverridesKey(program).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) != ERROR_SUCCESS)
            continue;
        for (const std::string& library : Replaced(choice)) {
            char old[64];
            DWORD size = sizeof old, type = 0;
            bool had = RegQueryValueExA(key, library.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(old), &size) ==
                       ERROR_SUCCESS;
            saved_->overrides[program + "\n" + library] = {had, had ? std::string(old, size ? size - 1 : 0) : ""};
            RegSetValueExA(key, library.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(overrideValue.c_str()),
                           DWORD(overrideValue.size() + 1));
        }
        RegCloseKey(key);
    }
    if (version) saved_->version.reset(new qvaid::WindowsVersionScope(version));

    qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, kCurrentConnection);
    qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, kPersistentRoutes);
    CreateKey(HKEY_LOCAL_MACHINE, kCurrentConnection);
    CreateKey(HKEY_LOCAL_MACHINE, kPersistentRoutes);
}

DialUpStandIns::~DialUpStandIns() {
    qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, kCurrentConnection);
    qvaid::DeleteKeyTree(HKEY_LOCAL_MACHINE, kPersistentRoutes);
    saved_->version.reset();
    for (const auto& o : saved_->overrides) {
        std::string program = o.first.substr(0, o.first.find('\n'));
        std::string library = o.first.substr(o.first.find('\n') + 1);
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, OverridesKey(program).c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            continue;
        if (o.second.first)
            RegSetValueExA(key, library.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(o.second.second.c_str()),
                           DWORD(o.second.second.size() + 1));
        else
            RegDeleteValueA(key, library.c_str());
        RegCloseKey(key);
    }
    for (const auto& v : saved_->variables)
        SetEnvironmentVariableA(v.first.c_str(), v.second.first ? v.second.second.c_str() : nullptr);
}

std::string DialUpStandIns::VariantFolder(const char* variant) {
    std::string dir = qvaid::ProgramDir();
    std::string tail = std::string("standins\\") + variant + "\\";
    while (dir.size() > 3) {
        if (GetFileAttributesA((dir + tail + "rasapi32.dll").c_str()) != INVALID_FILE_ATTRIBUTES) return dir + tail;
        dir = dir.substr(0, dir.find_last_of('\\', dir.size() - 2) + 1);
    }
    return tail;
}

bool DialUpStandIns::ChildReportsWindows95() {
    static int answer = -1;
    if (answer < 0) {
        qvaid::WindowsVersionScope win95("win95");
        ChildResult r = RunChild("StandInVersionProbe");
        answer = r.output.find("platform=1") != std::string::npos ? 1 : 0;
    }
    return answer == 1;
}

void DialUpStandIns::WriteScenario(const std::string& text) const {
    // Beside, then swapped in, as the stand-ins rewrite it: a reader never sees half.
    std::string path = files_ + standin::kScenarioFile, temp = path + ".test";
    ASSERT_TRUE(PutFile(temp, text));
    HANDLE lock = CreateMutexA(nullptr, FALSE, standin::kScenarioMutex);
    WaitForSingleObject(lock, 2000);
    BOOL moved = MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    ReleaseMutex(lock);
    CloseHandle(lock);
    ASSERT_TRUE(moved) << path;
}

std::string DialUpStandIns::ScenarioText() const { return FileText(files_ + standin::kScenarioFile); }

void DialUpStandIns::AppendCommand(const std::string& line) const {
    HANDLE f = CreateFileA((files_ + standin::kControlFile).c_str(), FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    SetFilePointer(f, 0, nullptr, FILE_END);
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(f, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(f);
    ASSERT_EQ(text.size(), written);
}

std::vector<JournalEntry> DialUpStandIns::Journal() const {
    std::vector<JournalEntry> entries;
    std::string text = FileText(files_ + standin::kJournalFile);
    if (text == "<missing>") return entries;
    size_t at = 0, end;
    while ((end = text.find('\n', at)) != std::string::npos) {
        JournalEntry e;
        e.line = text.substr(at, end - at);
        at = end + 1;
        std::vector<std::string> parts;
        size_t from = 0, tab;
        while ((tab = e.line.find('\t', from)) != std::string::npos) {
            parts.push_back(e.line.substr(from, tab - from));
            from = tab + 1;
        }
        parts.push_back(e.line.substr(from));
        if (parts.size() < 5) continue;
        e.tick = std::strtoul(parts[0].c_str(), nullptr, 10);
        e.pid = std::strtoul(parts[1].c_str(), nullptr, 10);
        e.component = parts[2];
        e.call = parts[3];
        e.result = parts[4];
        for (size_t i = 5; i < parts.size(); ++i) {
            size_t eq = parts[i].find('=');
            e.fields[parts[i].substr(0, eq)] = eq == std::string::npos ? "" : parts[i].substr(eq + 1);
        }
        entries.push_back(e);
    }
    return entries;
}

std::vector<JournalEntry> DialUpStandIns::Calls(const std::string& component, const std::string& call) const {
    std::vector<JournalEntry> out;
    for (const JournalEntry& e : Journal())
        if (e.component == component && e.call == call) out.push_back(e);
    return out;
}

bool DialUpStandIns::WaitFor(const std::string& component, const std::string& call, size_t count,
                             unsigned timeoutMs) const {
    DWORD start = GetTickCount();
    for (;;) {
        if (Calls(component, call).size() >= count) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(10);
    }
}

std::string DialUpStandIns::ConnectionValue(const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentConnection, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
    char value[256] = "";
    DWORD size = sizeof value - 1;
    if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS)
        value[0] = 0;
    RegCloseKey(key);
    return value;
}

void DialUpStandIns::SetConnectionValue(const char* name, const char* value) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentConnection, 0, KEY_WRITE, &key));
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), DWORD(std::string(value).size() + 1));
    RegCloseKey(key);
}

std::vector<std::string> DialUpStandIns::PersistentRoutes() {
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPersistentRoutes, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD len = sizeof name;
        if (RegEnumValueA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, len);
    }
    RegCloseKey(key);
    return names;
}

void DialUpStandIns::AppendCommandFromChild(const std::string& line) {
    char dir[MAX_PATH];
    DWORD n = GetEnvironmentVariableA(standin::kFolderVariable, dir, sizeof dir);
    if (n == 0 || n >= sizeof dir) return;
    FILE* f = std::fopen((std::string(dir, n) + standin::kControlFile).c_str(), "ab");
    if (!f) return;
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
}

std::map<std::string, std::string> KeyValues(const std::string& output) {
    std::map<std::string, std::string> said;
    size_t at = 0;
    while (at < output.size()) {
        size_t end = output.find('\n', at);
        if (end == std::string::npos) end = output.size();
        std::string line = output.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t eq = line.find('=');
        if (eq != std::string::npos) said[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return said;
}

ChildResult DialUpStandIns::Run(const std::string& childCase, const std::string& args, unsigned timeoutMs) const {
    return RunChild(childCase, args, timeoutMs, standIns_);
}

}  // namespace qvtest
