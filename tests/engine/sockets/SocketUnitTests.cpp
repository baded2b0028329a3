// Library binding, the event window, and the socket primitives' edge cases with
// recording entry points in a control's function table.
#include "SocketFixture.h"

#include "TestAids.h"

#include <cstring>
#include <vector>

using namespace socktest;

namespace {

struct Control {
    WINSOCKCONTROL* c;
    explicit Control(const char* library = nullptr) {
        c = new WINSOCKCONTROL;
        c->prepare();
        if (library) strcpy(c->libraryName, library);
    }
    ~Control() { c->freeobj(); }
    WINSOCKCONTROL* operator->() { return c; }
};

long Libraries() { return _pWinSockDlls->count; }

std::vector<int> calls;
servent httpEntry;
int WINAPI RecordListen(SOCKET, int backlog) {
    calls.push_back(backlog);
    return 0;
}
int WINAPI RecordRecv(SOCKET, char*, int length, int) {
    calls.push_back(length);
    return length;
}
servent* WINAPI OnlyHttp(const char* name, const char*) {
    httpEntry.s_port = (short)((80 >> 8) | ((80 & 0xFF) << 8));
    return strcmp(name, "http") == 0 ? &httpEntry : nullptr;
}
const char* hostName = "";
int WINAPI FixedHostName(char* out, int length) {
    strncpy(out, hostName, length);
    return 0;
}

}  // namespace

TEST(SocketBinding, ControlsNamingOneLibraryShareItUntilTheLastUnloads) {
    long before = Libraries();
    Control a, b;
    ASSERT_TRUE(a->LoadWinSock(0, 0));
    ASSERT_TRUE(b->LoadWinSock(0, 0));
    EXPECT_EQ(Libraries(), before + 1);
    ASSERT_EQ(a->library, b->library);
    EXPECT_EQ(a->library->useCount, 2);
    EXPECT_EQ(a->startupCount, 1);
    EXPECT_TRUE(a->fn.select && a->fn.WSAAsyncGetHostByName && a->fn.getsockopt && a->fn.WSAUnhookBlockingHook);
    EXPECT_TRUE(a->LoadWinSock(0, 0));
    EXPECT_EQ(a->startupCount, 2);
    a->UnloadWinSock(1, 0, 0);
    EXPECT_EQ(a->startupCount, 0);
    EXPECT_FALSE(a->loaded);
    EXPECT_EQ(Libraries(), before + 1);
    b->UnloadWinSock(1, 0, 0);
    EXPECT_EQ(Libraries(), before);
}

TEST(SocketBinding, AnAbsentLibraryBindsNothing) {
    long before = Libraries();
    Control a("QVNOSUCHSOCK.DLL");
    EXPECT_FALSE(a->LoadWinSock(0, 0));
    EXPECT_FALSE(a->loaded);
    EXPECT_EQ(a->library, nullptr);
    EXPECT_EQ(a->fn.socket, nullptr);
    EXPECT_EQ(Libraries(), before);
}

// Libraries that forward the entries to WSOCK32 at their ordinals: a complete
// one binds; one lacking an entry is refused whole and let go.
TEST(SocketBinding, ForwardingLibrariesBindWholeOrNotAtAll) {
    long before = Libraries();
    std::string full = qvaid::AidPath("qvaid_wsfull.dll"), part = qvaid::AidPath("qvaid_wspart.dll");
    {
        Control a(full.c_str());
        ASSERT_TRUE(a->LoadWinSock(0, 0));
        EXPECT_TRUE(a->fn.socket && a->fn.WSACancelAsyncRequest && a->fn.getsockopt);
        EXPECT_NE(GetModuleHandleA("qvaid_wsfull.dll"), nullptr);
        a->UnloadWinSock(1, 0, 0);
    }
    EXPECT_EQ(GetModuleHandleA("qvaid_wsfull.dll"), nullptr);
    Control b(part.c_str());
    EXPECT_FALSE(b->LoadWinSock(0, 0));
    EXPECT_FALSE(b->loaded);
    EXPECT_EQ(b->library, nullptr);
    EXPECT_EQ(b->fn.socket, nullptr);
    EXPECT_EQ(GetModuleHandleA("qvaid_wspart.dll"), nullptr);
    EXPECT_EQ(Libraries(), before);
}

namespace {
// This program's event window: other test programs running beside it have theirs.
HWND OwnEventWindow() {
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "Quorvane Winsock Event Class",
                                              "Quorvane Winsock Event Window")) != nullptr;) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId()) return w;
    }
    return nullptr;
}
}  // namespace

TEST(SocketBinding, EventWindowIsFoundWhileTheLibraryIsLoaded) {
    ASSERT_TRUE(TCPCONTROL::UseAsyncDNS);
    {
        Control a;
        ASSERT_TRUE(a->LoadWinSock(0, 0));
        HWND w = OwnEventWindow();
        EXPECT_NE(w, nullptr);
        EXPECT_NE(FindWindowA("Quorvane Winsock Event Class", "Quorvane Winsock Event Window"), nullptr);
        a->UnloadWinSock(1, 0, 0);
    }
    EXPECT_EQ(OwnEventWindow(), nullptr);
}

// Closing every window of the program (a task list's end, taskkill) leaves the
// event window alone: look-ups keep their window, and the unload still ends the
// thread at once, by its handle.
TEST(SocketBinding, EventWindowOutlivesACloseAndEndsWithItsLibrary) {
    Control a;
    ASSERT_TRUE(a->LoadWinSock(0, 0));
    WINSOCKDLL* d = a->library;
    HWND w = OwnEventWindow();
    ASSERT_NE(w, nullptr);
    SendMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(w));
    EXPECT_EQ(w, d->eventWindow);
    d->prepare();  // kept to look at after the unload
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), d->eventThreadHandle, GetCurrentProcess(), &thread, SYNCHRONIZE,
                                FALSE, 0));
    a->UnloadWinSock(1, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0)) << "the unload returned before the thread ended";
    EXPECT_EQ(0UL, d->eventThreadId);
    EXPECT_EQ(nullptr, d->eventWindow);
    EXPECT_FALSE(IsWindow(w));
    // Asked again once ended, nothing is posted to the id and nothing waited for.
    EXPECT_TRUE(d->stopMonitor(1, 0));
    CloseHandle(thread);
    d->freeobj();
}

TEST(SocketPrimitives, SetPortTakesNumbersThenServiceNamesThenTheDefault) {
    Control ctl;
    ASSERT_TRUE(ctl->LoadWinSock(0, 0));
    ctl->fn.getservbyname = OnlyHttp;
    ctl->defaultPort = 4321;
    WINSOCKLINK* link = new WINSOCKLINK(*ctl.c, nullptr, LINK_SERVER_CONNECT, 0);
    link->prepare();
    struct Case {
        const char* text;
        unsigned short port;
        BBOOL result;
    } cases[] = {
        {"8080", 8080, 1}, {"70000", 4321, 1}, {"http", 80, 1}, {"HTTP", 80, 1}, {"nosuch", 4321, 1}, {"0", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(link->SetPort(c.text, 0), c.result) << c.text;
        EXPECT_EQ(link->port, c.port) << c.text;
    }
    EXPECT_TRUE(link->SetPort("8081", 1));
    EXPECT_EQ(link->localPort, 8081);
    link->freeobj();
}

TEST(SocketPrimitives, ListenBacklogFollowsTypeLimitAndControl) {
    Control ctl;
    ASSERT_TRUE(ctl->LoadWinSock(0, 0));
    ctl->fn.listen = RecordListen;
    struct Case {
        LINKTYPE type;
        int limit, control, backlog;
    } cases[] = {
        {LINK_SERVER_LISTEN, 30, 10, 1}, {LINK_CLIENT_LISTEN, 30, 10, 5}, {LINK_CLIENT_LISTEN, 0, 10, 1},
        {LINK_CLIENT_LISTEN, 3, 10, 3},  {LINK_CLIENT_LISTEN, 30, 1, 1},
    };
    for (const Case& c : cases) {
        calls.clear();
        ctl->listenBacklog = c.control;
        WINSOCKLINK* link = new WINSOCKLINK(*ctl.c, nullptr, c.type, c.limit);
        link->prepare();
        link->TCPSocketListen();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0], c.backlog) << c.type << " " << c.limit << " " << c.control;
        link->freeobj();
    }
}

TEST(SocketPrimitives, ReceiveGoesPageByPageOnlyOnWindows95) {
    Control ctl;
    ASSERT_TRUE(ctl->LoadWinSock(0, 0));
    ctl->fn.recv = RecordRecv;
    WINSOCKLINK* link = new WINSOCKLINK(*ctl.c, nullptr, LINK_SERVER_CONNECT, 0);
    link->prepare();
    std::vector<unsigned char> memory(5 * 4096);
    unsigned char* page = (unsigned char*)(((UINT_PTR)memory.data() + 4095) & ~(UINT_PTR)4095) + 4096;
    struct Case {
        long windows95;
        int length;
        std::vector<int> calls;
    } cases[] = {{1, 4096, {100, 3996}}, {1, 8292, {100, 4096, 4096}}, {1, 50, {50}},
                 {0, 4096, {4096}}, {0, 8292, {8292}}};
    long was = _SystemIsWindows95;
    for (const Case& c : cases) {
        _SystemIsWindows95 = c.windows95;
        calls.clear();
        EXPECT_EQ(link->TCPSocketReceive(page - 100, c.length, 0), c.length) << c.windows95 << " " << c.length;
        EXPECT_EQ(calls, c.calls) << c.windows95 << " " << c.length;
    }
    _SystemIsWindows95 = was;
    link->freeobj();
}

TEST(SocketPrimitives, MailFormNameReplacesTheFirstDotOfThreeLabels) {
    Control ctl;
    ASSERT_TRUE(ctl->LoadWinSock(0, 0));
    ctl->fn.gethostname = FixedHostName;
    WINSOCKLINK* link = new WINSOCKLINK(*ctl.c, nullptr, LINK_SERVER_CONNECT, 0);
    link->prepare();
    struct Case {
        const char *name, *mail;
    } cases[] = {{"host.example", "host.example"}, {"gw.example.org", "gw@example.org"}, {"me@x.y.z", "me@x.y.z"}};
    for (const Case& c : cases) {
        hostName = c.name;
        char out[64];
        link->GetLocalName(BUFFER(out, sizeof(out)), 0, 1);
        EXPECT_STREQ(out, c.mail);
        link->GetLocalName(BUFFER(out, sizeof(out)), 0, 0);
        EXPECT_STREQ(out, c.name);
    }
    link->freeobj();
}

namespace {
unsigned long sweepNow = 0;
unsigned long SweepClock() { return sweepNow; }
}  // namespace

// A cancelled look-up waits for a late answer, and is swept by the first answer
// that comes more than 100 s after the cancel.
TEST(SocketLookup, CancelledLookUpsAreSweptAfterAHundredSeconds) {
    Control a;
    ASSERT_TRUE(a->LoadWinSock(0, 0));
    WINSOCKDLL* d = a->library;
    ASSERT_NE(d->eventWindow, nullptr);
    sweepNow = 5000;
    TIMESTAMP::SetNowSource(SweepClock);
    WINSOCKREQUEST* r = new WINSOCKREQUEST(d, nullptr);
    r->prepare();
    r->task = reinterpret_cast<HANDLE>(0x7001);
    d->AddRequest(r);
    r->CancelRequest();
    EXPECT_EQ(d->requests.Count(), 1);
    SendMessageA(d->eventWindow, WINSOCKDLL::LookupMessage, 0x7002, 0);  // someone else's answer
    EXPECT_EQ(d->requests.Count(), 1) << "kept while its answer may still come";
    sweepNow += WINSOCKDLL::SweepSeconds + 1;
    SendMessageA(d->eventWindow, WINSOCKDLL::LookupMessage, 0x7002, 0);
    EXPECT_EQ(d->requests.Count(), 0);
    TIMESTAMP::SetNowSource(nullptr);
    a->UnloadWinSock(1, 0, 0);
}
