#include "RasService.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ControlFeed.h"
#include "JournalLine.h"
#include "SessionHost.h"
#include "StandInFolder.h"
#include "StandInFormat.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace standin {

struct DialJob {
    RasService* service;
    const char* component;
    uint32_t handle;
    std::string entry;
    std::vector<RasService::Step> steps;
    bool holdAfter;  // "silent": the dial stays at its last state until hung up
    DWORD delay;
    ras::DialFunc1 callback;
    std::string sessionModule;  // hosted session: the module's path
};

namespace {

const char kEntrySection[] = "Entry ";
const uint32_t kDialStates[] = {ras::kStateOpenPort,      ras::kStateConnectDevice, ras::kStateDeviceConnected,
                                ras::kStateAuthenticate,   ras::kStateAuthenticated, ras::kStateConnected};

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower((unsigned char)c));
    return s;
}

void CopyText(char* to, size_t size, const std::string& from) {
    std::snprintf(to, size, "%s", from.c_str());
}

std::string HandleText(uint32_t h) { return std::to_string(h); }

std::string ReadConnectionValue(const char* name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentConnectionKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
    char value[256] = "";
    DWORD size = sizeof value - 1, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        value[0] = 0;
    RegCloseKey(key);
    return value;
}

// What the dial-up session module records when it ends a session with 1003.
void RecordSession(const Scenario& s, const std::string& section) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kCurrentConnectionKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
    const std::pair<const char*, std::string> values[] = {
        {"ComPort", "COM2"},
        {"ComPortRate", s.Get(section, "ComPortRate", "115200")},
        {"ConnectSpeed", s.Get(section, "Speed", "0")},
        {"IPAddress", s.Get(section, "Address")},
        {"DNSAddress", s.Get(section, "DNSAddress", "127.0.0.1")},
        {"DNSSuffix", s.Get(section, "DNSSuffix")},
        {"HeaderCompression", s.Get(section, "HeaderCompression", "1")},
    };
    for (const auto& v : values)
        RegSetValueExA(key, v.first, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.second.c_str()),
                       DWORD(v.second.size() + 1));
    RegCloseKey(key);
}

uint32_t EntrySizeOf(const Scenario& s, const std::string& section) {
    long size = s.GetNumber(section, "EntrySize", long(ras::kEntrySize));
    return size == long(ras::kEntrySizeOld) ? ras::kEntrySizeOld : ras::kEntrySize;
}

bool ValidEntrySize(uint32_t size, uint32_t limit) {
    return (size == ras::kEntrySizeOld || size == ras::kEntrySize) && size <= limit;
}

DWORD Finish(JournalLine& j, DWORD result) {
    j.Result(long(result)).Append();
    return result;
}

}  // namespace

RasService& RasService::Instance() {
    static RasService service;
    return service;
}

uint32_t RasService::NewHandle() {
    nextHandle_ += 4;
    return nextHandle_;
}

RasService::Conn* RasService::Find(ras::Handle conn) {
    auto it = conns_.find(Key(conn));
    return it == conns_.end() ? nullptr : &it->second;
}

std::string RasService::EntryName(const Scenario& s, const std::string& name) {
    for (const std::string& e : s.GetList("Phonebook", "Entries"))
        if (SameName(e, name)) return e;
    return "";
}

void RasService::ApplyDrop(const std::string& entry) {
    for (auto& c : conns_) {
        if (!SameName(c.second.entry, entry)) continue;
        c.second.state = ras::kStateDisconnected;
        c.second.error = ras::kErrorDisconnected;
        c.second.dropped = true;
    }
}

void RasService::RunCommands(const char* component) {
    for (const Command& c : ControlFeed::Process().Take()) {
        std::lock_guard<std::mutex> hold(lock_);
        if (c.name == kCommandDrop && !c.rest.empty()) {
            ApplyDrop(c.rest);
        } else if (c.name == kCommandFailNext && c.words.size() >= 3) {
            // The entry is what follows the error and the state.
            Command entry = ControlFeed::Parse(c.rest);
            Command afterState = ControlFeed::Parse(entry.rest);
            failNext_[Lower(afterState.rest)] = FailPlan{std::atol(c.words[0].c_str()), std::atol(c.words[1].c_str())};
        } else if (c.name == kCommandConnectExternal && !c.rest.empty()) {
            Conn conn;
            conn.entry = c.rest;
            conn.state = ras::kStateConnected;
            conns_[NewHandle()] = conn;
        } else if (c.name != kCommandStackOffline) {
            JournalLine(component, "ignored").Field("line", c.line).Append();
        }
    }
}

DWORD RasService::Dial(const char* component, ras::DialParams* params, DWORD notifierType, void* notifier,
                       ras::Handle* conn) {
    RunCommands(component);
    Scenario s = Scenario::Load();
    s.JournalUnknownKeys(component);
    JournalLine j(component, "RasDialA");
    if (!params || !conn) return Finish(j, ras::kErrorInvalidParameter);
    j.Field("size", long(params->size));
    if (params->size != ras::kDialParamsSize) return Finish(j, ras::kErrorInvalidSize);
    std::string entry = EntryName(s, params->entryName);
    std::string section = kEntrySection + entry;
    j.Field("entry", params->entryName);
    std::string phone = params->phoneNumber[0] ? params->phoneNumber : s.Get(section, "Phone");
    std::string access = ReadConnectionValue("LineAccess");
    j.Field("phone", phone).Field("user", params->userName);
    if (entry.empty()) return Finish(j.Field("handle", 0L), ras::kErrorCannotFindEntry);
    if (notifierType != ras::kNotifierFunc1 || !notifier) return Finish(j.Field("handle", 0L), ras::kErrorInvalidParameter);

    std::string outcome = Lower(s.Get(section, "Outcome", "connect"));
    long failState = s.GetNumber(section, "FailState", long(ras::kStateConnectDevice));
    long error = s.GetNumber(section, "Error", long(ras::kErrorNoAnswer));
    DialJob* job = new DialJob{this, component, 0, entry, {}, false, DWORD(s.GetNumber(section, "Delay", 20)),
                               reinterpret_cast<ras::DialFunc1>(notifier), ""};
    {
        std::lock_guard<std::mutex> hold(lock_);
        auto planned = failNext_.find(Lower(entry));
        if (planned != failNext_.end()) {
            outcome = "fail";
            failState = planned->second.state;
            error = planned->second.error;
            failNext_.erase(planned);
        }
    }
    if (outcome == "fail" && failState < 0) {
        delete job;
        j.Field("handle", 0L).Field("access", access).Field("status", ReadConnectionValue("Status"));
        return Finish(j, DWORD(error));
    }
    std::string module = hostSessions_ ? s.Get(section, "SessionModule") : "";
    bool hosted = outcome == "session" && !module.empty();
    for (uint32_t state : kDialStates) {
        if (outcome == "fail" && long(state) > failState) break;
        if (outcome == "silent" && state > ras::kStateConnectDevice) break;
        bool session = outcome == "session" && (access == "Secondary" || hosted);
        if (session && state == ras::kStateConnected) break;
        job->steps.push_back(Step{state, 0, false, false});
    }
    if (outcome == "fail") job->steps.push_back(Step{DWORD(failState), DWORD(error), false, false});
    if (hosted) {
        // The module serves the session; the dial connects once it completed well.
        job->sessionModule = module;
        job->steps.push_back(Step{ras::kStateAuthenticated, 0, false, true});
        job->steps.push_back(Step{ras::kStateConnected, 0, false, false});
    } else if (outcome == "session" && access == "Secondary") {
        job->steps.push_back(Step{ras::kStateAuthenticated, ras::kErrorSessionRecorded, true, false});
    }
    job->holdAfter = outcome == "silent";

    {
        std::lock_guard<std::mutex> hold(lock_);
        job->handle = NewHandle();
        Conn c;
        c.entry = entry;
        conns_[job->handle] = c;
    }
    // The handle is the caller's before any notification can arrive.
    *conn = ras::HandleFromField(job->handle);
    j.Field("handle", HandleText(job->handle)).Field("access", access).Field("status", ReadConnectionValue("Status"));
    Finish(j, 0);

    // The thread keeps this module loaded while it runs.
    char self[MAX_PATH];
    GetModuleFileNameA(reinterpret_cast<HMODULE>(&__ImageBase), self, sizeof self);
    LoadLibraryA(self);
    DWORD id;
    HANDLE thread = CreateThread(nullptr, 0, DialThread, job, 0, &id);
    if (thread) {
        CloseHandle(thread);
    } else {
        FreeLibrary(reinterpret_cast<HMODULE>(&__ImageBase));
        delete job;
    }
    return 0;
}

bool RasService::Pause(const char* component, uint32_t handle, DWORD ms) {
    DWORD start = GetTickCount(), lastRun = start;
    for (;;) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            auto it = conns_.find(handle);
            if (it == conns_.end() || it->second.dropped) return false;
        }
        DWORD now = GetTickCount();
        if (now - start >= ms) return true;
        if (now - lastRun >= 50) {
            RunCommands(component);
            lastRun = now;
            continue;
        }
        Sleep(ms - (now - start) < 10 ? ms - (now - start) : 10);
    }
}

bool RasService::DropStep(uint32_t handle, Step& step) {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = conns_.find(handle);
    if (it == conns_.end() || !it->second.dropped) return false;
    step = Step{ras::kStateDisconnected, ras::kErrorDisconnected, false, false};
    return true;
}

bool RasService::Enter(uint32_t handle, Step& step) {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = conns_.find(handle);
    if (it == conns_.end()) return false;
    if (it->second.dropped) {
        step = Step{ras::kStateDisconnected, ras::kErrorDisconnected, false, false};
        return true;
    }
    it->second.state = step.state;
    it->second.error = step.error;
    return true;
}

DWORD WINAPI RasService::DialThread(void* arg) {
    DialJob* job = static_cast<DialJob*>(arg);
    RasService* svc = job->service;
    bool pending = true;  // the dial has not ended yet
    auto notify = [job](const Step& step) {
        JournalLine(job->component, "callback")
            .Field("handle", HandleText(job->handle))
            .Field("state", long(step.state))
            .Field("error", long(step.error))
            .Field("ext", 0L)
            .Append();
        job->callback(ras::HandleFromField(job->handle), ras::kDialEventMessage, step.state, step.error, 0);
    };
    for (size_t i = 0; i < job->steps.size() && pending; ++i) {
        Step step = job->steps[i];
        bool go = i == 0 || svc->Pause(job->component, job->handle, job->delay);
        if (go ? !svc->Enter(job->handle, step) : !svc->DropStep(job->handle, step)) break;
        if (step.recordSession) RecordSession(Scenario::Load(), kEntrySection + job->entry);
        if (step.hostSession) {
            step.error = svc->RunSession(job);
            // A session that completed well says nothing: the dial goes on to connected.
            if (!step.error) continue;
            if (!svc->Enter(job->handle, step)) break;
        }
        notify(step);
        pending = step.error == 0 && step.state != ras::kStateConnected;
    }
    // A silent dial waits at its last state for a hang-up or a drop.
    while (pending && job->holdAfter && svc->Pause(job->component, job->handle, 50)) {
    }
    Step drop{};
    if (pending && svc->DropStep(job->handle, drop)) notify(drop);
    delete job;
    FreeLibraryAndExitThread(reinterpret_cast<HMODULE>(&__ImageBase), 0);
    return 0;
}

DWORD RasService::HangUp(const char* component, ras::Handle conn) {
    RunCommands(component);
    JournalLine j(component, "RasHangUpA");
    j.Field("handle", HandleText(Key(conn)));
    {
        std::lock_guard<std::mutex> hold(lock_);
        Conn* c = Find(conn);
        if (!c) return Finish(j, ras::kErrorInvalidHandle);
        j.Field("state", long(c->state)).Field("error", long(c->error));
        // Forgotten at once: a dial thread of it ends without a further notification.
        conns_.erase(Key(conn));
    }
    // A hosted session is stopped, and its module's thread (if any) ends it.
    if (SessionHost::Instance().Stop(conn)) AwaitTermination(Key(conn));
    return Finish(j, 0);
}

DWORD RasService::RunSession(DialJob* job) {
    Scenario s = Scenario::Load();
    bool pending = false;
    DWORD result = SessionHost::Instance().Start(job->sessionModule, ras::HandleFromField(job->handle), s,
                                                 kEntrySection + job->entry, job->entry, &pending);
    if (result || !pending) return result;
    {
        std::lock_guard<std::mutex> hold(lock_);
        sessions_[job->handle].pending = true;
    }
    for (DWORD lastRun = GetTickCount();; Sleep(10)) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            auto it = conns_.find(job->handle);
            if (it == conns_.end() || it->second.dropped) return ras::kErrorDisconnected;
            auto done = sessions_.find(job->handle);
            if (done != sessions_.end() && done->second.completed) return done->second.error;
        }
        if (GetTickCount() - lastRun >= 50) {
            RunCommands(job->component);
            lastRun = GetTickCount();
        }
    }
}

void RasService::AwaitTermination(uint32_t handle) {
    // A session that completed well belongs to the regular module: nothing comes back.
    const DWORD kLimitMs = 10000;
    HANDLE thread = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < kLimitMs; Sleep(10)) {
        std::lock_guard<std::mutex> hold(lock_);
        Session& s = sessions_[handle];
        if (!s.pending || (s.completed && !s.error)) break;
        if (s.terminated) {
            thread = s.thread;
            s.thread = nullptr;
            break;
        }
    }
    if (!thread) return;
    WaitForSingleObject(thread, kLimitMs);
    CloseHandle(thread);
}

DWORD RasService::Complete(const char* component, ras::Handle conn, const ras::Completion* completion) {
    RunCommands(component);
    JournalLine j(component, "RnaComplete");
    j.Field("handle", HandleText(Key(conn)));
    if (!completion) return Finish(j, ras::kErrorInvalidParameter);
    j.Field("error", long(completion->error)).Field("size", long(completion->size));
    std::lock_guard<std::mutex> hold(lock_);
    Session& s = sessions_[Key(conn)];
    s.completed = true;
    s.error = completion->error;
    return Finish(j, 0);
}

DWORD RasService::Terminate(const char* component, ras::Handle conn, HANDLE thread) {
    RunCommands(component);
    JournalLine j(component, "RnaTerminate");
    j.Field("handle", HandleText(Key(conn))).Field("thread", long(thread != nullptr));
    std::lock_guard<std::mutex> hold(lock_);
    Session& s = sessions_[Key(conn)];
    s.terminated = true;
    if (s.thread) CloseHandle(s.thread);
    s.thread = thread;
    return Finish(j, 0);
}

DWORD RasService::GetConnectStatus(const char* component, ras::Handle conn, ras::ConnectStatus* status) {
    RunCommands(component);
    JournalLine j(component, "RasGetConnectStatusA");
    j.Field("handle", HandleText(Key(conn)));
    Scenario s = Scenario::Load();
    std::lock_guard<std::mutex> hold(lock_);
    Conn* c = Find(conn);
    if (!c) return Finish(j, ras::kErrorInvalidHandle);
    j.Field("state", long(c->state)).Field("error", long(c->error));
    if (!status) return Finish(j, ras::kErrorInvalidParameter);
    if (status->size != ras::kConnectStatusSize) return Finish(j, ras::kErrorInvalidSize);
    status->state = c->state;
    status->error = c->error;
    std::string device = s.Get(kEntrySection + c->entry, "Device", "Stand-in Modem");
    CopyText(status->deviceType, sizeof status->deviceType, "modem");
    CopyText(status->deviceName, sizeof status->deviceName, device);
    return Finish(j.Field("device", device), 0);
}

DWORD RasService::EnumConnections(const char* component, ras::Connection* records, DWORD* bytes, DWORD* count) {
    RunCommands(component);
    JournalLine j(component, "RasEnumConnectionsA");
    if (!bytes || !count) return Finish(j, ras::kErrorInvalidParameter);
    if (records && records->size != ras::kConnectionSize)
        return Finish(j.Field("size", long(records->size)), ras::kErrorInvalidSize);
    std::lock_guard<std::mutex> hold(lock_);
    DWORD need = DWORD(conns_.size() * ras::kConnectionSize);
    DWORD n = DWORD(conns_.size());
    if (need > 0 && (!records || *bytes < need)) {
        *bytes = need;
        *count = n;
        return Finish(j.Field("size", long(need)).Field("count", long(n)), ras::kErrorBufferTooSmall);
    }
    DWORD i = 0;
    for (const auto& c : conns_) {
        ras::Connection& r = records[i++];
        std::memset(&r, 0, sizeof r);
        r.size = ras::kConnectionSize;
        r.handle = c.first;
        CopyText(r.entryName, sizeof r.entryName, c.second.entry);
        CopyText(r.deviceType, sizeof r.deviceType, "modem");
        CopyText(r.deviceName, sizeof r.deviceName, "Stand-in Modem");
    }
    *bytes = need;
    *count = n;
    return Finish(j.Field("size", long(need)).Field("count", long(n)), 0);
}

DWORD RasService::EnumEntries(const char* component, ras::EntryName* records, DWORD* bytes, DWORD* count) {
    RunCommands(component);
    Scenario s = Scenario::Load();
    s.JournalUnknownKeys(component);
    JournalLine j(component, "RasEnumEntriesA");
    if (!bytes || !count) return Finish(j, ras::kErrorInvalidParameter);
    if (records && records->size != ras::kEntryNameRecordSize)
        return Finish(j.Field("size", long(records->size)), ras::kErrorInvalidSize);
    std::vector<std::string> entries = s.GetList("Phonebook", "Entries");
    DWORD need = DWORD(entries.size() * ras::kEntryNameRecordSize);
    DWORD n = DWORD(entries.size());
    j.Field("size", long(need)).Field("count", long(n));
    *count = n;
    if (need > 0 && (!records || *bytes < need)) {
        *bytes = need;
        return Finish(j, ras::kErrorBufferTooSmall);
    }
    for (DWORD i = 0; i < n; ++i) {
        std::memset(&records[i], 0, sizeof records[i]);
        records[i].size = ras::kEntryNameRecordSize;
        CopyText(records[i].entryName, sizeof records[i].entryName, entries[i]);
    }
    *bytes = need;
    return Finish(j, 0);
}

DWORD RasService::GetEntryDialParams(const char* component, ras::DialParams* params, BOOL* passwordSaved) {
    RunCommands(component);
    Scenario s = Scenario::Load();
    JournalLine j(component, "RasGetEntryDialParamsA");
    if (!params || !passwordSaved) return Finish(j, ras::kErrorInvalidParameter);
    if (params->size != ras::kDialParamsSize) return Finish(j.Field("size", long(params->size)), ras::kErrorInvalidSize);
    j.Field("entry", params->entryName);
    std::string entry = EntryName(s, params->entryName);
    if (entry.empty()) return Finish(j, ras::kErrorCannotFindEntry);
    std::string section = kEntrySection + entry;
    std::string user = s.Get(section, "User"), password = s.Get(section, "Password");
    params->phoneNumber[0] = 0;
    params->callbackNumber[0] = 0;
    CopyText(params->userName, sizeof params->userName, user);
    CopyText(params->password, sizeof params->password, password);
    CopyText(params->domain, sizeof params->domain, s.Get(section, "Domain"));
    *passwordSaved = !password.empty();
    j.Field("user", user).Field("password", long(password.size())).Field("saved", long(*passwordSaved));
    return Finish(j, 0);
}

DWORD RasService::SetEntryDialParams(const char* component, ras::DialParams* params, BOOL removePassword) {
    RunCommands(component);
    JournalLine j(component, "RasSetEntryDialParamsA");
    if (!params) return Finish(j, ras::kErrorInvalidParameter);
    if (params->size != ras::kDialParamsSize) return Finish(j.Field("size", long(params->size)), ras::kErrorInvalidSize);
    std::string password = removePassword ? "" : params->password;
    j.Field("entry", params->entryName)
        .Field("user", params->userName)
        .Field("password", long(password.size()))
        .Field("saved", long(!removePassword));
    std::string entry = EntryName(Scenario::Load(), params->entryName);
    if (entry.empty()) return Finish(j, ras::kErrorCannotFindEntry);
    std::string section = kEntrySection + entry;
    bool ok = Scenario::Update([&](Scenario& s) {
        s.Set(section, "User", params->userName);
        s.Set(section, "Password", password);
        s.Set(section, "Domain", params->domain);
    });
    return Finish(j, ok ? 0 : ras::kErrorCannotOpenPhonebook);
}

DWORD RasService::GetErrorString(const char* component, UINT error, char* text, DWORD size) {
    RunCommands(component);
    Scenario s = Scenario::Load();
    JournalLine j(component, "RasGetErrorStringA");
    j.Field("error", long(error));
    std::string key = std::to_string(error);
    if (!text || !s.Has("Errors", key)) return Finish(j, ras::kErrorInvalidParameter);
    std::string message = s.Get("Errors", key);
    if (size < message.size() + 1) return Finish(j, ras::kErrorBufferTooSmall);
    CopyText(text, size, message);
    return Finish(j, 0);
}

DWORD RasService::GetProjectionInfo(const char* component, ras::Handle conn, int projection, void* record,
                                    DWORD* bytes) {
    RunCommands(component);
    Scenario s = Scenario::Load();
    JournalLine j(component, "RasGetProjectionInfoA");
    j.Field("handle", HandleText(Key(conn)));
    std::string entry;
    DWORD state;
    {
        std::lock_guard<std::mutex> hold(lock_);
        Conn* c = Find(conn);
        if (!c) return Finish(j, ras::kErrorInvalidHandle);
        entry = c->entry;
        state = c->state;
    }
    if (projection != ras::kProjectionPppIp) return Finish(j, ras::kErrorProtocolNotConfigured);
    if (state != ras::kStateConnected) return Finish(j, ras::kErrorProjectionNotComplete);
    if (!bytes) return Finish(j, ras::kErrorInvalidParameter);
    if (!record || *bytes < ras::kPppIpSize) {
        *bytes = ras::kPppIpSize;
        return Finish(j, ras::kErrorBufferTooSmall);
    }
    ras::PppIp* ip = static_cast<ras::PppIp*>(record);
    if (ip->size != ras::kPppIpSize) return Finish(j, ras::kErrorInvalidSize);
    std::string address = s.Get(kEntrySection + entry, "Address");
    std::memset(reinterpret_cast<char*>(ip) + 4, 0, sizeof *ip - 4);
    CopyText(ip->address, sizeof ip->address, address);
    *bytes = ras::kPppIpSize;
    return Finish(j.Field("address", address), 0);
}

DWORD RasService::CreatePhonebookEntry(const char* component) {
    RunCommands(component);
    JournalLine j(component, "RasCreatePhonebookEntryA");
    std::string name;
    bool ok = Scenario::Update([&](Scenario& s) {
        std::vector<std::string> entries = s.GetList("Phonebook", "Entries");
        for (int n = 1;; ++n) {
            name = "New Entry " + std::to_string(n);
            if (EntryName(s, name).empty()) break;
        }
        std::string list;
        for (const std::string& e : entries) list += e + ",";
        s.Set("Phonebook", "Entries", list + name);
        s.Set(kEntrySection + name, "Phone", "");
    });
    j.Field("entry", name);
    return Finish(j, ok ? 0 : ras::kErrorCannotOpenPhonebook);
}

DWORD RasService::EditPhonebookEntry(const char* component, const char* entry) {
    RunCommands(component);
    JournalLine j(component, "RasEditPhonebookEntryA");
    j.Field("entry", entry ? entry : "");
    if (!entry || EntryName(Scenario::Load(), entry).empty()) return Finish(j, ras::kErrorCannotFindEntry);
    return Finish(j, 0);
}

DWORD RasService::GetEntryProperties(const char* component, const char* name, void* record, DWORD* bytes) {
    RunCommands(component);
    Scenario s = Scenario::Load();
    JournalLine j(component, "RasGetEntryPropertiesA");
    j.Field("entry", name ? name : "");
    std::string entry = name ? EntryName(s, name) : "";
    if (!bytes) return Finish(j, ras::kErrorInvalidParameter);
    if (entry.empty()) return Finish(j, ras::kErrorCannotFindEntry);
    std::string section = kEntrySection + entry;
    uint32_t size = EntrySizeOf(s, section);
    uint32_t options = uint32_t(s.GetNumber(section, "Options", 0));
    if (!record || *bytes < size) {
        *bytes = size;
        return Finish(j.Field("size", long(size)), ras::kErrorBufferTooSmall);
    }
    ras::Entry* e = static_cast<ras::Entry*>(record);
    j.Field("size", long(e->size));
    if (!ValidEntrySize(e->size, size)) return Finish(j, ras::kErrorInvalidSize);
    std::memset(reinterpret_cast<char*>(e) + 4, 0, e->size - 4);
    e->options = options;
    CopyText(e->localPhoneNumber, sizeof e->localPhoneNumber, s.Get(section, "Phone"));
    CopyText(reinterpret_cast<char*>(e) + ras::kEntryScriptOffset, ras::kEntryScriptSize, s.Get(section, "Script"));
    if (e->size >= ras::kEntrySize) e->subEntries = uint32_t(s.GetNumber(section, "SubEntries", 1));
    *bytes = e->size;
    return Finish(j.Hex("options", options), 0);
}

DWORD RasService::SetEntryProperties(const char* component, const char* name, void* record, DWORD bytes) {
    RunCommands(component);
    Scenario s = Scenario::Load();
    JournalLine j(component, "RasSetEntryPropertiesA");
    j.Field("entry", name ? name : "");
    if (!record) return Finish(j, ras::kErrorInvalidParameter);
    const ras::Entry* e = static_cast<const ras::Entry*>(record);
    j.Field("size", long(e->size)).Hex("options", e->options);
    std::string entry = name ? EntryName(s, name) : "";
    if (entry.empty()) return Finish(j, ras::kErrorCannotFindEntry);
    std::string section = kEntrySection + entry;
    if (!ValidEntrySize(e->size, EntrySizeOf(s, section)) || bytes < e->size) return Finish(j, ras::kErrorInvalidSize);
    long fails = s.GetNumber(section, "SetPropertiesFails", 0);
    if (fails) return Finish(j, DWORD(fails));
    char options[16];
    std::snprintf(options, sizeof options, "0x%08lX", (unsigned long)e->options);
    bool ok = Scenario::Update([&](Scenario& edit) { edit.Set(section, "Options", options); });
    return Finish(j, ok ? 0 : ras::kErrorCannotOpenPhonebook);
}

DWORD RasService::GetDevicePort(const char* component, ras::Handle conn, ras::DevicePort* record) {
    RunCommands(component);
    Scenario s = Scenario::Load();
    JournalLine j(component, "RnaGetDevicePort");
    j.Field("handle", HandleText(Key(conn)));
    std::string entry;
    {
        std::lock_guard<std::mutex> hold(lock_);
        Conn* c = Find(conn);
        if (!c) return Finish(j, ras::kErrorInvalidHandle);
        entry = c->entry;
    }
    if (!record) return Finish(j, ras::kErrorInvalidParameter);
    if (record->size != ras::kDevicePortSize) return Finish(j, ras::kErrorInvalidSize);
    std::memset(reinterpret_cast<char*>(record) + 4, 0, sizeof *record - 4);
    std::string section = kEntrySection + entry;
    record->speed = uint32_t(s.GetNumber(section, "Speed", 0));
    record->port = uint32_t(kFakeModemHandle);
    record->line = uint32_t(kFakeLine);
    record->call = uint32_t(kFakeCall);
    CopyText(record->deviceType, sizeof record->deviceType, s.Get(section, "PortType", "COM"));
    return Finish(j.Field("speed", long(record->speed)), 0);
}

}  // namespace standin
