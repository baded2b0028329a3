#include "DialerHarness.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "../sockets/EchoService.h"
#include "Profile.h"
#include "StandInFormat.h"

namespace dialtest {

const char kPhonebook[] =
    "[Phonebook]\r\n"
    "Entries=Line One,Line Two\r\n"
    "[Entry Line One]\r\n"
    "Phone=5551234\r\n"
    "User=user1\r\n"
    "Password=pass1\r\n"
    "Address=127.0.0.2\r\n"
    "Speed=28800\r\n"
    "Delay=5\r\n"
    "[Entry Line Two]\r\n"
    "Phone=5559999\r\n"
    "User=user2\r\n"
    "Password=pass2\r\n"
    "Address=127.0.0.3\r\n"
    "Delay=5\r\n"
    "[Errors]\r\n"
    "678=There was no answer.\r\n";

namespace {

struct Record {
    std::string line;
    int status;
    std::string text;
};

std::mutex g_lock;
std::vector<Record> g_records;
std::string g_user, g_password;
bool g_cancel = false;
int g_promptCalls = 0;

void Notifier(LINKINTERFACE* line, const char* text) {
    int status = line->state;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        g_records.push_back(Record{line->name, status, text ? text : ""});
    }
    if (status == LINE_NEGOTIATING) line->Connect(1);
}

int Prompt(LINKINTERFACE*, BUFFER& user, BUFFER& password, BUFFER&) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_promptCalls++;
    if (g_cancel) return 0;
    std::snprintf(user.data, size_t(user.length), "%s", g_user.c_str());
    std::snprintf(password.data, size_t(password.length), "%s", g_password.c_str());
    return 1;
}

}  // namespace

void InstallConsole() {
    LINKINTERFACE::pStatusNotifier = Notifier;
    LINKINTERFACE::pDialerParms = Prompt;
}

void SetPrompt(const char* user, const char* password, bool cancel) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_user = user ? user : "";
    g_password = password ? password : "";
    g_cancel = cancel;
}

int PromptCalls() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_promptCalls;
}

std::string Statuses(const char* line) {
    std::lock_guard<std::mutex> hold(g_lock);
    std::string out;
    for (const Record& r : g_records)
        if (!line || r.line == line) out += (out.empty() ? "" : ",") + std::to_string(r.status);
    return out;
}

std::string Texts() {
    std::lock_guard<std::mutex> hold(g_lock);
    std::string out;
    for (const Record& r : g_records)
        if (!r.text.empty()) out += (out.empty() ? "" : "|") + r.text;
    return out;
}

bool WaitForStatus(const char* line, std::initializer_list<int> any, unsigned ms) {
    return qvtest::WaitFor(
        [&] {
            std::lock_guard<std::mutex> hold(g_lock);
            for (const Record& r : g_records)
                for (int s : any)
                    if (r.status == s && (!line || r.line == line)) return true;
            return false;
        },
        ms);
}

void ClearRecords() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_records.clear();
}

WINSOCKINTERFACE* Lines(const char* names, int place) {
    WINSOCKCONTROL::GetLocalInterfaces(WINSOCKCONTROL::UseDialUp, names);
    return Line(place);
}

WINSOCKINTERFACE* Line(int place) { return dynamic_cast<WINSOCKINTERFACE*>(TCPINTERFACE::FindRelativeLine(place)); }

WINSOCKCONTROL* MakeSecondary(WINSOCKINTERFACE* line, const std::string& profileFile, bool twoPhase) {
    WINSOCKCONTROL* control = new WINSOCKCONTROL;
    control->prepare();
    control->dialInterface = line;
    line->SetControl(control, 1);
    line->twoPhase = twoPhase;
    if (!profileFile.empty() && !WINSOCKCONTROL::pConfigProfile) {
        PROFILE* p = new PROFILE(profileFile.c_str(), 0);
        p->prepare();
        if (p->ReadFile(nullptr, 1) == 0) {
            WINSOCKCONTROL::pConfigProfile = p;
        } else {
            p->freeobj();
        }
    }
    return control;
}

void ReleaseSecondary(WINSOCKCONTROL* control, WINSOCKINTERFACE* line) {
    if (line) line->SetControl(nullptr, 0);
    control->dialInterface = nullptr;
    control->freeobj();
    if (WINSOCKCONTROL::pConfigProfile) WINSOCKCONTROL::pConfigProfile->freeobj();
    WINSOCKCONTROL::pConfigProfile = nullptr;
}

std::string FilesFolder() {
    char dir[MAX_PATH];
    DWORD n = GetEnvironmentVariableA(standin::kFolderVariable, dir, sizeof dir);
    return n && n < sizeof dir ? std::string(dir, n) : std::string();
}

bool HasArg(const char* name) { return std::strstr(GetCommandLineA(), name) != nullptr; }

void Say(const char* key, const std::string& value) {
    std::printf("%s=%s\n", key, value.c_str());
    std::fflush(stdout);
}

void Say(const char* key, long value) { Say(key, std::to_string(value)); }

std::string OutboundFrom(TCPINTERFACE* line) {
    socktest::OutboundPrimary<socktest::EchoMonitor> out;
    if (!out.up) return "<no service>";
    WINSOCKFUNCTIONS& f = out.control->fn;
    SOCKET listener = f.socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = f.inet_addr("127.0.0.1");
    int len = sizeof sa;
    if (f.bind(listener, (sockaddr*)&sa, sizeof sa) != 0 || f.listen(listener, 1) != 0 ||
        f.getsockname(listener, (sockaddr*)&sa, &len) != 0)
        return "<no listener>";
    BBOOL ok = 0;
    DATACONNECTION* c = out.Open("127.0.0.1", std::to_string(f.ntohs(sa.sin_port)).c_str(), &ok, line);
    std::string from = "<no link>";
    if (ok) {
        sockaddr_in peer = {};
        len = sizeof peer;
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener, &ready);
        timeval limit = {10, 0};
        SOCKET s = f.select(0, &ready, nullptr, nullptr, &limit) == 1 ? f.accept(listener, (sockaddr*)&peer, &len)
                                                                     : INVALID_SOCKET;
        if (s != INVALID_SOCKET) {
            from = f.inet_ntoa(peer.sin_addr);
            f.closesocket(s);
        }
        c->SetDropRequested(1, 0);
        c->freeobj();
    }
    f.closesocket(listener);
    return from;
}

}  // namespace dialtest
