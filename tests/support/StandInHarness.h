#pragma once
// Runs code under test in a child process with the dial-up stand-ins (their
// files and formats: standins/files/StandInFormat.h). While a DialUpStandIns
// lives, children of this test program start in the chosen stand-in folder
// (remote access binds at start-up, from the current directory), find the
// stand-in programs on PATH, load the stand-in rasapi32.dll instead of Wine's
// (or none), may report another Windows version, and steer and journal
// through a fresh files folder. It creates the HKLM Current Connection and
// PersistentRoutes keys and removes them at the end: a test that uses it
// declares the ctest RESOURCE_LOCK current-connection.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace qvtest {

enum class RemoteAccess {
    Nt,     // the NT variant of rasapi32.dll
    Win95,  // the Windows 95 variant, with rnaph.dll
    Absent  // no remote-access library loads at all
};

struct JournalEntry {
    unsigned long tick = 0;
    unsigned long pid = 0;
    std::string component, call, result;
    std::map<std::string, std::string> fields;
    std::string line;

    std::string Field(const std::string& key) const {
        auto it = fields.find(key);
        return it == fields.end() ? "<none>" : it->second;
    }
};

// The "key=value" lines a child printed.
std::map<std::string, std::string> KeyValues(const std::string& output);

class DialUpStandIns {
public:
    // version: "win95", "nt40" or null (Wine's default) for the children.
    explicit DialUpStandIns(RemoteAccess choice, const char* version = nullptr);
    ~DialUpStandIns();
    DialUpStandIns(const DialUpStandIns&) = delete;
    DialUpStandIns& operator=(const DialUpStandIns&) = delete;

    // The stand-in folder of the choice (NT's for Absent), with a backslash.
    const std::string& StandInFolder() const { return standIns_; }
    // The folder of scenario.ini, control.txt and journal.txt, with a backslash.
    const std::string& Files() const { return files_; }

    void WriteScenario(const std::string& text) const;
    std::string ScenarioText() const;
    void AppendCommand(const std::string& line) const;
    std::vector<JournalEntry> Journal() const;
    // Entries of that component and call, in order.
    std::vector<JournalEntry> Calls(const std::string& component, const std::string& call) const;
    // Waits at most timeoutMs for count entries of that component and call.
    bool WaitFor(const std::string& component, const std::string& call, size_t count = 1,
                 unsigned timeoutMs = 10000) const;

    // A value of the Current Connection key ("" when absent), and setting one.
    static std::string ConnectionValue(const char* name);
    static void SetConnectionValue(const char* name, const char* value);
    // The value names under PersistentRoutes.
    static std::vector<std::string> PersistentRoutes();

    // In a child: appends a command to the control file its harness chose.
    static void AppendCommandFromChild(const std::string& line);

    // Runs a child case of this program in the stand-in folder.
    ChildResult Run(const std::string& childCase, const std::string& args = "", unsigned timeoutMs = 30000) const;

    // The folder <build>\standins\<variant>\, found upwards from this program.
    static std::string VariantFolder(const char* variant);
    // Whether Wine makes a child of this program report Windows 95 when asked
    // to (it may not for 64-bit programs); probed once.
    static bool ChildReportsWindows95();

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
    std::string standIns_, files_;
};

}  // namespace qvtest
