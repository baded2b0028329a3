#include "SvrCfg.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AppUser.h"
#include "ConsoleWindow.h"
#include "NetworkInterface.h"
#include "Profile.h"
#include "ServerIds.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TextHelpers.h"

namespace {

const char SERVER_CONFIGURATION[] = "Server Configuration";
const char SERVER_COMMUNICATIONS[] = "Server Communications";
const char APPLICATION_REQUESTS[] = "Application Requests";
const char APPLICATIONS[] = "Applications";
const char APPLICATION_SERVERS[] = "Application Servers";
const char SERVER_STARTUP[] = "Server Startup";
const char USER_KEYS[] = "USER Registry Keys";
const char LOCAL_KEYS[] = "LOCAL Registry Keys";
const char SAVED_USER_KEYS[] = "Saved USER Registry Keys";
const char SAVED_LOCAL_KEYS[] = "Saved LOCAL Registry Keys";
const char SYSTEM_FILES[] = "LOCAL System Files";
const char CHECKED_FILES[] = "CHECKED System Files";
const char AUTHORIZED_USERS[] = "Authorized Users";

const char* const SOUND_KEYS[6] = {"Connect Sound",      "Disconnect Sound",   "Opened Line1 Sound",
                                   "Closed Line1 Sound", "Opened Line2 Sound", "Closed Line2 Sound"};
const char* const LINE_COLOR_KEYS[4] = {"Line1 Color", "Line2 Color", "Line3 Color", "Line4 Color"};
const char* const PARALLEL_KEYS[3] = {"Connect In Parallel With Line 1", "Connect In Parallel With Line 2",
                                      "Connect In Parallel With Line 3"};
// Kept so that the console's failover choice outlives a restart.
const char* const ON_DROP_KEYS[3] = {"Connect If Line 1 Drops", "Connect If Line 2 Drops", "Connect If Line 3 Drops"};

// A key whose value is present but malformed is named as invalid; reading goes on.
class KEYREADER {
public:
    KEYREADER(PROFILE& profile, const char*& invalid) : profile(profile), invalid(invalid) {}

    void Bool(const char* section, const char* key, BBOOL& value) {
        if (profile.ReadBOOL(section, key, value) > 0) invalid = key;
    }
    // Present and well formed: TRUE with the number.
    BBOOL Int(const char* section, const char* key, long& value) {
        int number = 0;
        int rc = profile.ReadINT(section, key, number);
        if (rc > 0) invalid = key;
        if (rc != 0) return FALSE;
        value = number;
        return TRUE;
    }
    // Absent leaves the field as it is.
    void Text(const char* section, const char* key, char* out, int size) {
        std::vector<char> text(size + 1, 0);
        if (profile.ReadString(section, key, BUFFER(text.data(), size)) >= 0) _strzcpy(out, text.data(), size);
    }

    PROFILE& profile;
    const char*& invalid;
};

std::string Trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return std::string();
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

// One face of "Display Font": blanks around it and quotes around the name go.
void FontFace(std::string face, char* out, int size, int defaultId) {
    face = Trimmed(face);
    if (face.size() >= 2 && face.front() == '"' && face.back() == '"') face = Trimmed(face.substr(1, face.size() - 2));
    _strzcpy(out, face.empty() ? ServerText(defaultId) : face.c_str(), size);
}

// The keys of a section, in file order.
std::vector<std::string> SectionKeys(PROFILE& profile, const char* section) {
    std::vector<std::string> keys;
    std::vector<char> list(64 * 1024, 0);
    int count = profile.ListStrings(section, BUFFER(list.data(), (long)list.size()));
    for (const char* k = list.data(); *k && (int)keys.size() < count; k += std::strlen(k) + 1) keys.push_back(k);
    return keys;
}

BBOOL HasEntry(PROFILE& profile, const char* section, const char* key) {
    char value[8];
    return profile.ReadString(section, key, BUFFER(value, sizeof value)) >= 0;
}

// "<key path>: <value name>": the path trimmed, the name after leading blanks
// and tabs. FALSE for a key without ":".
BBOOL SplitRegistryKey(const std::string& key, std::string& path, std::string& name) {
    size_t colon = key.find(':');
    if (colon == std::string::npos) return FALSE;
    path = Trimmed(key.substr(0, colon));
    size_t start = key.find_first_not_of(" \t", colon + 1);
    name = start == std::string::npos ? std::string() : key.substr(start);
    return TRUE;
}

// Sets a value of the user hive, or of the local-machine hive when the path
// begins with "..\"; the former value comes back in old.
BBOOL ModifyUserKey(const std::string& path, const std::string& name, const char* value, std::string& old) {
    char previous[1024] = {};
    BUFFER out(previous, sizeof previous);
    BBOOL ok = path.compare(0, 3, "..\\") == 0
                   ? WinRegModifyLocalKey(path.c_str() + 3, name.c_str(), value, out)
                   : WinRegModifyUserKey(path.c_str(), name.c_str(), value, out);
    old = previous;
    return ok;
}

BBOOL ModifyLocalKey(const std::string& path, const std::string& name, const char* value, std::string& old) {
    char previous[1024] = {};
    BBOOL ok = WinRegModifyLocalKey(path.c_str(), name.c_str(), value, BUFFER(previous, sizeof previous));
    old = previous;
    return ok;
}

// A [LOCAL System Files] name must stay inside the Windows directory.
BBOOL IsWindowsRelativeName(const std::string& name) {
    if (name.empty() || name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos) return FALSE;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos) end = name.size();
        if (Trimmed(name.substr(start, end - start)) == "..") return FALSE;
        start = end + 1;
    }
    return TRUE;
}

// Appends the line, over a closing Ctrl-Z when there is one. FALSE when the
// file cannot be opened for update.
BBOOL AppendSystemLine(const std::string& path, const std::string& line) {
    FILE* file = std::fopen(path.c_str(), "r+b");
    if (!file) return FALSE;
    std::fseek(file, 0, SEEK_END);
    long size = std::ftell(file);
    if (size > 0) {
        std::fseek(file, size - 1, SEEK_SET);
        int last = std::fgetc(file);
        std::fseek(file, last == 0x1A ? size - 1 : size, SEEK_SET);
    }
    std::string text = line + "\r\n";
    BBOOL ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
}

const char* YesNo(BBOOL value) { return value ? "YES" : "NO"; }

void WriteInt(PROFILE& profile, const char* section, const char* key, long value) {
    char text[16];
    std::snprintf(text, sizeof text, "%ld", value);
    profile.WriteString(section, key, text);
}

// Empties a profile's table so that it can be read again.
void ReleaseProfile(PROFILE& profile) {
    while (profile.rows.first && profile.rows.first->target)
        profile.DeleteRow(CHAIN<ROW>::Cast(profile.rows.first->target));
    profile.loaded = 0;
}

std::string LineSection(int line) { return "Network Interface - Line " + std::to_string(line); }

}  // namespace

SVRCFG::SVRCFG()
    : appSQL(0), appHTTP(0), appTELNET(0), appFTP(0), appNNTP(0), appPOP(0), appSMTP(0), technicalSupport(0),
      initialTraceState(0), commTracing(0), appRequestTracing(0), cacheTracing(0), memoryTracing(0),
      buddyTracing(0), logAppRequests(1), appStatus(0), taskTracing(0), functionTracing(0), autoTerminate(0),
      userSecurity(1), allowExternalUsers(0), testIconFiles(0), useIconTray(0), oemCommSettings(0),
      systemChanged(0), traceBuffer(0), traceData(0), commBuffers(0), backupFiles(0), dialingLimit(0),
      phonebookRouting(0), multipleRoutes(1), dynamicRouting(0), asyncDNS(1), localLoop(1),
      outboundInterfaces{}, usersFile{}, initialRequestFile{}, logfileEditor{}, displayFont1{}, displayFont2{},
      fontSize(0), lineColors{}, inboundWinsock{}, outboundWinsock{}, secondaryWinsockName{},
      secondaryWinsockProfile{}, secondaryWinsockVersion{}, secondaryWinsockLine(2), winsockBlocking(0),
      winsockCannotReset(0), sounds{}, invalidKey(nullptr), mainProfile(nullptr), usersProfile(nullptr),
      separateUsers(0), registryApplied(0) {}

SVRCFG::~SVRCFG() {
    CloseProfile();
    CloseUsers();
}

BBOOL SVRCFG::OpenProfile(PROFILE& profile, const char* path) {
    mainProfile = &profile;
    usersProfile = &profile;
    return profile.ReadFile(path, TRUE) == 0;
}

BBOOL SVRCFG::OpenUsers(PROFILE& profile, const char* path) {
    usersProfile = &profile;
    separateUsers = TRUE;
    return profile.ReadFile(path, FALSE) == 0;
}

void SVRCFG::ReadProfileString(const char* key, BUFFER& out) {
    if (out.data && out.length > 0) out.data[0] = 0;
    if (mainProfile) mainProfile->ReadString(SERVER_CONFIGURATION, key, out);
}

BBOOL SVRCFG::ReadProfile() {
    if (!mainProfile) return FALSE;
    invalidKey = nullptr;
    readServerConfiguration();
    readCommunications();
    readStartup();
    if (_pSvr && &_pSvr->config == this && AnotherConsoleRunning()) {
        // The running instance applied the registry sections and restores them at its close.
        registryApplied = FALSE;
    } else {
        BBOOL saved = applyRegistryKeys(USER_KEYS, FALSE);
        saved |= applyRegistryKeys(LOCAL_KEYS, TRUE);
        saved |= checkSystemFiles();
        registryApplied = TRUE;
        if (saved) mainProfile->WriteFile(nullptr);
    }
    if (_pSvr && &_pSvr->config == this) readLines(_pSvr->lines);
    return invalidKey == nullptr;
}

void SVRCFG::readServerConfiguration() {
    KEYREADER r(*mainProfile, invalidKey);
    const char* s = SERVER_CONFIGURATION;
    r.Bool(s, "Auto Terminate", autoTerminate);
    r.Bool(s, "User Security", userSecurity);
    r.Bool(s, "Allow External Users", allowExternalUsers);
    r.Text(s, "Logfile Editor", logfileEditor, sizeof logfileEditor);
    if (!logfileEditor[0]) _strzcpy(logfileEditor, ServerText(IDS_EDITOR), sizeof logfileEditor);
    r.Bool(s, "Technical Support", technicalSupport);
    // Checked in kilobytes: multiplied first, a large value would wrap into the range.
    long kilobytes = 0;
    if (r.Int(s, "Trace Buffer", kilobytes)) {
        if (kilobytes != 0 && (kilobytes < 1 || kilobytes > 65536))
            invalidKey = "Trace Buffer";
        else
            traceBuffer = kilobytes * 1024;
    }
    long items = 0;
    if (r.Int(s, "Trace Data", items)) {
        if (items != 0 && (items < 16 || items > 4096))
            invalidKey = "Trace Data";
        else
            traceData = items;
    }
    r.Int(s, "Comm. Buffers", commBuffers);
    r.Bool(s, "Test Icon Files", testIconFiles);
    r.Bool(s, "Use Icon Tray", useIconTray);
    r.Bool(s, "OEM Comm. Settings", oemCommSettings);
    r.Int(s, "Backup Files", backupFiles);
    long maximum = 0;
    if (r.Int(s, "Maximum Users", maximum) && (maximum < 0 || maximum > SVR_USER_CEILING)) {
        invalidKey = "Maximum Users";
        maximum = 0;
    }
    if (_pSvr && &_pSvr->config == this) {
        _pSvr->maxUsersProfile = _pSvr->maxUsers = maximum ? maximum : SVR_USER_CEILING;
        _pSvr->allowExternalUsers = allowExternalUsers;
        SVROPTIONS& options = _pSvr->options;
        r.Text(s, "Local User Name", options.users.ownerName, sizeof options.users.ownerName);
        char password[256] = {};
        r.Text(s, "Administrator Password", password, sizeof password);
        if (password[0] && !options.admin.DecodePassword(password)) invalidKey = "Administrator Password";
    }
    r.Text(s, "User Profile", usersFile, sizeof usersFile);
    for (int i = 0; i < 6; ++i) r.Text(s, SOUND_KEYS[i], sounds[i], sizeof sounds[i]);
}

void SVRCFG::readCommunications() {
    KEYREADER r(*mainProfile, invalidKey);
    const char* s = SERVER_COMMUNICATIONS;
    r.Text(s, "TCP/IP Outbound Interfaces", outboundInterfaces, sizeof outboundInterfaces);
    r.Bool(s, "TCP/IP Dialing Limit", dialingLimit);
    r.Bool(s, "TCP/IP Dynamic Routing Update", dynamicRouting);
    r.Bool(s, "TCP/IP Phonebook Routing Update", phonebookRouting);
    r.Bool(s, "TCP/IP Multiple Default Routes", multipleRoutes);
    r.Bool(s, "TCP/IP Use Asynchronous DNS", asyncDNS);
    r.Bool(s, "TCP/IP Use Local Loop", localLoop);
    long interval = 0;
    // The line policy divides by the interval: below one second is refused.
    if (r.Int(s, "Network Sampling Interval", interval)) {
        if (interval < 1)
            invalidKey = "Network Sampling Interval";
        else if (_pSvr && &_pSvr->config == this)
            _pSvr->lines.samplingInterval = interval;
    }
    r.Text(s, "TCP/IP Inbound Winsock", inboundWinsock, sizeof inboundWinsock);
    r.Text(s, "TCP/IP Outbound Winsock", outboundWinsock, sizeof outboundWinsock);
    r.Text(s, "TCP/IP Secondary Winsock Name", secondaryWinsockName, sizeof secondaryWinsockName);
    r.Text(s, "TCP/IP Secondary Winsock Profile", secondaryWinsockProfile, sizeof secondaryWinsockProfile);
    r.Text(s, "TCP/IP Secondary Winsock Version", secondaryWinsockVersion, sizeof secondaryWinsockVersion);
    r.Int(s, "TCP/IP Secondary Winsock Line", secondaryWinsockLine);
    r.Bool(s, "TCP/IP Winsock Blocking", winsockBlocking);
    r.Bool(s, "TCP/IP Winsock Cannot Reset", winsockCannotReset);

    long maxRequests = LOCALREQUEST::MaxSimReqs;
    if (r.Int(APPLICATION_REQUESTS, "Maximum Simultaneous Requests", maxRequests))
        LOCALREQUEST::MaxSimReqs = maxRequests;
    BBOOL simultaneous = LOCALREQUEST::DoSimReqs;
    r.Bool(APPLICATION_REQUESTS, "Simultaneous Request Support", simultaneous);
    LOCALREQUEST::DoSimReqs = simultaneous;

    char font[256] = {};
    r.Text(SERVER_CONFIGURATION, "Display Font", font, sizeof font);
    std::string fonts = font;
    size_t comma = fonts.find(',');
    FontFace(fonts.substr(0, comma), displayFont1, sizeof displayFont1, 32);
    FontFace(comma == std::string::npos ? std::string() : fonts.substr(comma + 1), displayFont2,
             sizeof displayFont2, 33);
    // Not validated: a console setting that falls back to the default face size.
    int size = 0;
    if (mainProfile->ReadINT(SERVER_CONFIGURATION, "Font Size", size) == 0) fontSize = size;
    for (int i = 0; i < 4; ++i) {
        char colour[32] = {};
        if (mainProfile->ReadString(SERVER_CONFIGURATION, LINE_COLOR_KEYS[i], BUFFER(colour, sizeof colour)) >= 0)
            std::sscanf(colour, "%li", &lineColors[i]);
    }
}

void SVRCFG::readStartup() {
    KEYREADER r(*mainProfile, invalidKey);
    r.Bool(APPLICATIONS, "SQL", appSQL);
    r.Bool(APPLICATIONS, "HTTP", appHTTP);
    r.Bool(APPLICATIONS, "TELNET", appTELNET);
    r.Bool(APPLICATIONS, "FTP", appFTP);
    r.Bool(APPLICATIONS, "NNTP", appNNTP);
    r.Bool(APPLICATIONS, "POP", appPOP);
    r.Bool(APPLICATIONS, "SMTP", appSMTP);
    if (_pSvr && &_pSvr->config == this) {
        APPSERVERS& servers = _pSvr->options.servers;
        r.Text(APPLICATION_SERVERS, "NNTP Server", servers.nntpServer, sizeof servers.nntpServer);
        r.Text(APPLICATION_SERVERS, "POP3 Server", servers.pop3Server, sizeof servers.pop3Server);
        r.Text(APPLICATION_SERVERS, "SMTP Server", servers.smtpServer, sizeof servers.smtpServer);
        r.Text(APPLICATION_SERVERS, "TELNET Server", servers.telnetServer, sizeof servers.telnetServer);
        r.Text(APPLICATION_SERVERS, "Mail Address", servers.mailAddress, sizeof servers.mailAddress);
    }
    const char* s = SERVER_STARTUP;
    r.Bool(s, "Log Application Requests", logAppRequests);
    r.Bool(s, "Application Status", appStatus);
    r.Bool(s, "Initial Trace State", initialTraceState);
    r.Bool(s, "Communication Tracing", commTracing);
    r.Bool(s, "Task Tracing", taskTracing);
    r.Bool(s, "System Function Tracing", functionTracing);
    r.Bool(s, "Application Request Tracing", appRequestTracing);
    r.Bool(s, "Cache Tracing", cacheTracing);
    r.Bool(s, "Memory Tracing", memoryTracing);
    r.Bool(s, "Buddy System Tracing", buddyTracing);
    r.Text(s, "Initial Request File", initialRequestFile, sizeof initialRequestFile);
}

BBOOL SVRCFG::applyRegistryKeys(const char* section, BBOOL local) {
    PROFILE& p = *mainProfile;
    std::vector<std::string> keys = SectionKeys(p, section);
    BBOOL saved = FALSE;
    size_t done = 0;
    for (; done < keys.size(); ++done) {
        const std::string& key = keys[done];
        char value[1024] = {};
        if (p.ReadString(section, key.c_str(), BUFFER(value, sizeof value)) < 0) break;
        std::string path, name, old;
        if (!SplitRegistryKey(key, path, name)) continue;
        if (!local) {
            if (ModifyUserKey(path, name, value, old) && old != value) {
                p.WriteString(SAVED_USER_KEYS, key.c_str(), old.c_str());
                saved = TRUE;
            }
        } else if (ModifyLocalKey(path, name, value, old) && !HasEntry(p, SAVED_LOCAL_KEYS, key.c_str())) {
            // Only the first change is saved: the value from before the program ever touched it.
            p.WriteString(SAVED_LOCAL_KEYS, key.c_str(), old.c_str());
            systemChanged = TRUE;
            saved = TRUE;
        }
    }
    if (done < keys.size()) invalidKey = local ? LOCAL_KEYS : USER_KEYS;
    return saved;
}

BBOOL SVRCFG::checkSystemFiles() {
    PROFILE& p = *mainProfile;
    std::vector<std::string> files = SectionKeys(p, SYSTEM_FILES);
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, sizeof windows);
    BBOOL saved = FALSE;
    for (const std::string& file : files) {
        char line[1024] = {};
        if (p.ReadString(SYSTEM_FILES, file.c_str(), BUFFER(line, sizeof line)) < 0 ||
            !IsWindowsRelativeName(file)) {
            invalidKey = SYSTEM_FILES;
            break;
        }
        if (HasEntry(p, CHECKED_FILES, file.c_str())) continue;
        p.WriteString(CHECKED_FILES, file.c_str(), "");
        saved = TRUE;
        std::string path = std::string(windows) + "\\" + file;
        if (!_ScanFile(path.c_str(), line, TRUE) && AppendSystemLine(path, line)) systemChanged = TRUE;
    }
    return saved;
}

void SVRCFG::readLines(NETWORKINTERFACE& net) {
    int count = std::atoi(ServerText(40));
    net.lineCount = count >= 1 && count <= 4 ? count : 4;
    PROFILE& p = *mainProfile;
    for (int n = 1; n <= net.lineCount; ++n) {
        std::string section = LineSection(n);
        const char* s = section.c_str();
        LINEINTERFACE& line = net.lines[n - 1];
        int number = 0;
        BBOOL flag = 0;
        p.ReadString(s, "Phonebook Entry", BUFFER(line.phonebookEntry, sizeof line.phonebookEntry));
        // Two lines on one entry would make one dialer line stand for both.
        for (int m = 1; m < n && line.IsLineConfigured(); ++m)
            if (!_stricmp(net.lines[m - 1].phonebookEntry, line.phonebookEntry)) invalidKey = "Phonebook Entry";
        if (n == 1) {
            if (p.ReadBOOL(s, "Connect When Launched", flag) == 0) net.connectWhenLaunched = flag;
            if (p.ReadBOOL(s, "Connect Upon Request", flag) == 0) net.connectUponRequest = flag;
        } else {
            long* escalation = net.escalation[n - 2];
            if (p.ReadBOOL(s, PARALLEL_KEYS[n - 2], flag) == 0) escalation[0] = flag;
            if (p.ReadBOOL(s, ON_DROP_KEYS[n - 2], flag) == 0) escalation[1] = flag;
            if (p.ReadBOOL(s, "Connect If Request Count Exceeded", flag) == 0) escalation[2] = flag;
            if (p.ReadINT(s, "Active Request Count", number) == 0) escalation[3] = number;
        }
        if (p.ReadBOOL(s, "Redial", flag) == 0) line.redial = flag;
        if (p.ReadBOOL(s, "Idle Disconnect", flag) == 0) line.idleDisconnect = flag;
        if (p.ReadINT(s, "Idle Minutes", number) == 0) line.idleMinutes = number;
        if (p.ReadBOOL(s, "Keep Alive", flag) == 0) line.keepAlive = flag;
        if (p.ReadBOOL(s, "Repeat Dialing", flag) == 0) line.repeatDialing = flag;
        if (p.ReadINT(s, "Repeat Dialing Count", number) == 0) line.repeatDialingCount = number;
    }
}

void SVRCFG::WriteNetIntCfg(NETWORKINTERFACE& net) {
    if (!mainProfile) return;
    PROFILE& p = *mainProfile;
    for (int n = 1; n <= net.lineCount && n <= 4; ++n) {
        std::string section = LineSection(n);
        const char* s = section.c_str();
        const LINEINTERFACE& line = net.lines[n - 1];
        p.WriteString(s, "Phonebook Entry", line.phonebookEntry);
        if (n == 1) {
            p.WriteString(s, "Connect When Launched", YesNo(net.connectWhenLaunched));
            p.WriteString(s, "Connect Upon Request", YesNo(net.connectUponRequest));
        } else {
            const long* escalation = net.escalation[n - 2];
            p.WriteString(s, PARALLEL_KEYS[n - 2], YesNo(escalation[0]));
            p.WriteString(s, ON_DROP_KEYS[n - 2], YesNo(escalation[1]));
            p.WriteString(s, "Connect If Request Count Exceeded", YesNo(escalation[2]));
            WriteInt(p, s, "Active Request Count", escalation[3]);
        }
        p.WriteString(s, "Redial", YesNo(line.redial));
        p.WriteString(s, "Idle Disconnect", YesNo(line.idleDisconnect));
        WriteInt(p, s, "Idle Minutes", line.idleMinutes);
        p.WriteString(s, "Keep Alive", YesNo(line.keepAlive));
        p.WriteString(s, "Repeat Dialing", YesNo(line.repeatDialing));
        WriteInt(p, s, "Repeat Dialing Count", line.repeatDialingCount);
    }
}

void SVRCFG::RestoreUserRegistry() {
    if (!mainProfile || !registryApplied) return;
    PROFILE& p = *mainProfile;
    for (const std::string& key : SectionKeys(p, SAVED_USER_KEYS)) {
        char value[1024] = {};
        if (p.ReadString(SAVED_USER_KEYS, key.c_str(), BUFFER(value, sizeof value)) < 0) break;
        std::string path, name, old;
        if (SplitRegistryKey(key, path, name)) ModifyUserKey(path, name, value, old);
    }
}

void SVRCFG::CloseProfile() {
    PROFILE* profile = mainProfile;
    if (!profile) return;
    RestoreUserRegistry();
    mainProfile = nullptr;
    if (usersProfile == profile) usersProfile = nullptr;
    ReleaseProfile(*profile);
}

void SVRCFG::CloseUsers() {
    if (!separateUsers || !usersProfile) return;
    PROFILE* profile = usersProfile;
    usersProfile = nullptr;
    separateUsers = FALSE;
    ReleaseProfile(*profile);
}

void SVRCFG::WriteSimReqs(BBOOL support, int count) {
    if (!mainProfile) return;
    WriteInt(*mainProfile, APPLICATION_REQUESTS, "Maximum Simultaneous Requests", count);
    mainProfile->WriteString(APPLICATION_REQUESTS, "Simultaneous Request Support", YesNo(support));
}

void SVRCFG::WriteAdminOptions() {
    if (!mainProfile || !_pSvr) return;
    char password[256] = {};
    BUFFER out(password, sizeof password);
    _pSvr->options.admin.EncodePassword(out);
    mainProfile->WriteString(SERVER_CONFIGURATION, "Administrator Password", password);
    WriteInt(*mainProfile, SERVER_CONFIGURATION, "Maximum Users", _pSvr->maxUsersProfile);
    allowExternalUsers = _pSvr->allowExternalUsers;
    mainProfile->WriteString(SERVER_CONFIGURATION, "Allow External Users", YesNo(allowExternalUsers));
}

void SVRCFG::WriteAppServers(APPSERVERS*) {
    if (!mainProfile || !_pSvr) return;
    const APPSERVERS& servers = _pSvr->options.servers;
    mainProfile->WriteString(APPLICATION_SERVERS, "NNTP Server", servers.nntpServer);
    mainProfile->WriteString(APPLICATION_SERVERS, "POP3 Server", servers.pop3Server);
    mainProfile->WriteString(APPLICATION_SERVERS, "SMTP Server", servers.smtpServer);
    mainProfile->WriteString(APPLICATION_SERVERS, "TELNET Server", servers.telnetServer);
    mainProfile->WriteString(APPLICATION_SERVERS, "Mail Address", servers.mailAddress);
}

void SVRCFG::WriteLocalUserName(const char* name) {
    if (mainProfile) mainProfile->WriteString(SERVER_CONFIGURATION, "Local User Name", name ? name : "");
}

BBOOL SVRCFG::ReadUsers() {
    if (!usersProfile || !_pSvr) return FALSE;
    PROFILE& p = *usersProfile;
    CHAIN<APPUSER>& users = _pSvr->options.users.users;
    for (const std::string& address : SectionKeys(p, AUTHORIZED_USERS)) {
        char name[256] = {};
        if (p.ReadString(AUTHORIZED_USERS, address.c_str(), BUFFER(name, sizeof name)) < 0) {
            invalidKey = AUTHORIZED_USERS;
            break;
        }
        if (!name[0]) continue;
        APPUSER* user = new APPUSER(address.c_str(), name);
        user->prepare();  // the chain's reference
        users.Add(*user);
    }
    return invalidKey == nullptr;
}

BBOOL SVRCFG::WriteUser(APPUSER& user) {
    if (usersProfile) usersProfile->WriteString(AUTHORIZED_USERS, user.address, user.name);
    return TRUE;
}

BBOOL SVRCFG::RemoveUser(APPUSER& user) {
    if (usersProfile) usersProfile->DeleteString(AUTHORIZED_USERS, user.address, nullptr);
    return TRUE;
}

BBOOL SVRCFG::RemoveAllUsers() {
    if (usersProfile) usersProfile->DeleteString(AUTHORIZED_USERS, nullptr, nullptr);
    return TRUE;
}
