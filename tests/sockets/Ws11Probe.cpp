// ws11probe: a Windows Sockets 1.1 client that loads the named library at
// run time, binds its entries by ordinal and runs one table of checks, one
// line each ("PASS name", "FAIL name: why", "SKIP name: why").
//   ws11probe LIBRARY [--own] [--echo PORT] [CHECK...]
// --own adds the checks of what psock32 answers itself (record layouts,
// 16-bit task handles, its lock and exports); the others hold for any
// Windows Sockets 1.1 library. Exit: 0 all passed, 1 a check failed, 2 usage,
// 3 the library did not load, 4 it lacks an entry.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "DbRecords.h"
#include "WinSock11.h"

using namespace ws11;

namespace {

// The entries, bound by their standard ordinals.
#define QV_WS11_ENTRIES(X)                                                                                             \
    X(accept, 1)                                                                                                       \
    X(bind, 2)                                                                                                         \
    X(closesocket, 3) X(connect, 4) X(getpeername, 5) X(getsockname, 6) X(getsockopt, 7) X(htonl, 8) X(htons, 9)       \
        X(inet_addr, 10) X(inet_ntoa, 11) X(ioctlsocket, 12) X(listen, 13) X(ntohl, 14) X(ntohs, 15) X(recv, 16)       \
            X(recvfrom, 17) X(select, 18) X(send, 19) X(sendto, 20) X(setsockopt, 21) X(shutdown, 22) X(socket, 23)    \
                X(gethostbyaddr, 51) X(gethostbyname, 52) X(getprotobyname, 53) X(getprotobynumber, 54)                \
                    X(getservbyname, 55) X(getservbyport, 56) X(gethostname, 57) X(WSAAsyncSelect, 101)                \
                        X(WSAAsyncGetHostByAddr, 102) X(WSAAsyncGetHostByName, 103) X(WSAAsyncGetProtoByNumber, 104)   \
                            X(WSAAsyncGetProtoByName, 105) X(WSAAsyncGetServByPort, 106) X(WSAAsyncGetServByName, 107) \
                                X(WSACancelAsyncRequest, 108) X(WSASetBlockingHook, 109) X(WSAUnhookBlockingHook, 110) \
                                    X(WSAGetLastError, 111) X(WSASetLastError, 112) X(WSACancelBlockingCall, 113)      \
                                        X(WSAIsBlocking, 114) X(WSAStartup, 115) X(WSACleanup, 116)                    \
                                            X(__WSAFDIsSet, 151)

struct Api {
#define QV_FIELD(name, ordinal) decltype(&::name) name;
    QV_WS11_ENTRIES(QV_FIELD)
#undef QV_FIELD
    // psock32's own, by name.
    DWORD(WINAPI* TCPEnter)();
    BOOL(WINAPI* TCPLeave)();
    DWORD(WINAPI* DoCallback)(FARPROC);
    int(__cdecl* s_perror)();
};

Api ws;
HWND window;
unsigned short echoPort;
bool own;
const UINT ReplyMessage = WM_USER + 20;
const UINT SelectMessage = WM_USER + 21;

std::string failure;
bool Fail(const std::string& why) {
    if (failure.empty()) failure = why;
    return false;
}
#define CHECK(cond) \
    if (!(cond)) return Fail(#cond)
#define CHECK_WHY(cond, why) \
    if (!(cond)) return Fail(std::string(#cond) + ": " + (why))

std::string Num(long long v) { return std::to_string(v); }

// Waits for a posted message to the window; false after `ms`.
bool WaitPosted(UINT message, MSG* out, DWORD ms = 30000) {
    DWORD start = GetTickCount();
    for (;;) {
        if (PeekMessageA(out, window, message, message, PM_REMOVE)) return true;
        DWORD spent = GetTickCount() - start;
        if (spent >= ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_POSTMESSAGE);
    }
}

sockaddr_in Loopback(unsigned short port) {
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = ws.htons(port);
    a.sin_addr.s_addr = ws.inet_addr("127.0.0.1");
    return a;
}

// A listener on a free loopback port, a client connected to it and the accepted end.
struct Pair {
    SOCKET listener = INVALID_SOCKET, client = INVALID_SOCKET, server = INVALID_SOCKET;
    bool Open() {
        listener = ws.socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = Loopback(0);
        int len = sizeof a;
        if (listener == INVALID_SOCKET || ws.bind(listener, (sockaddr*)&a, sizeof a) ||
            ws.getsockname(listener, (sockaddr*)&a, &len) || ws.listen(listener, 5))
            return false;
        client = ws.socket(AF_INET, SOCK_STREAM, 0);
        if (client == INVALID_SOCKET || ws.connect(client, (sockaddr*)&a, sizeof a)) return false;
        server = ws.accept(listener, nullptr, nullptr);
        return server != INVALID_SOCKET;
    }
    ~Pair() {
        for (SOCKET s : {client, server, listener})
            if (s != INVALID_SOCKET) ws.closesocket(s);
    }
};

SOCKET ConnectEcho() {
    SOCKET s = ws.socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = Loopback(echoPort);
    if (s != INVALID_SOCKET && ws.connect(s, (sockaddr*)&a, sizeof a)) {
        ws.closesocket(s);
        return INVALID_SOCKET;
    }
    return s;
}

bool SendAll(SOCKET s, const char* data, int n, int* largest) {
    for (int done = 0; done < n;) {
        int r = ws.send(s, data + done, n - done, 0);
        if (r <= 0) return Fail("send answered " + Num(r) + " error " + Num(ws.WSAGetLastError()));
        if (largest && r > *largest) *largest = r;
        done += r;
    }
    return true;
}

bool RecvAll(SOCKET s, char* data, int n) {
    for (int done = 0; done < n;) {
        int r = ws.recv(s, data + done, n - done, 0);
        if (r <= 0) return Fail("recv answered " + Num(r) + " after " + Num(done) + " bytes");
        done += r;
    }
    return true;
}

// ---- the checks ----

bool Startup() {
    WSADATA data;
    memset(&data, 0xEE, sizeof data);
    int r = ws.WSAStartup(0x0101, &data);
    CHECK_WHY(r == 0, Num(r));
    CHECK(data.wVersion == 0x0101);
    CHECK(data.szDescription[0] != 0);
    if (!own) return true;
    CHECK(data.lpVendorInfo && !strcmp(data.lpVendorInfo, "Quorvane PWSK16 stand-in"));
    CHECK(data.iMaxSockets > 0);
#ifndef _WIN64
    CHECK_WHY(((unsigned char*)&data)[394] == 0xEE && ((unsigned char*)&data)[395] == 0xEE,
              "the alignment bytes after iMaxUdpDg are left alone");
#endif
    return true;
}

// Without data the version request still reaches the stack.
bool StartupWithoutData() {
    CHECK(ws.WSAStartup(0x0101, nullptr) == 0);
    CHECK(ws.WSACleanup() == 0);
    CHECK(ws.WSAStartup(0x0000, nullptr) == WSAVERNOTSUPPORTED);
    return true;
}

bool ByteOrderAndAddresses() {
    CHECK(ws.htons(0x1234) == 0x3412);
    CHECK(ws.ntohs(0x3412) == 0x1234);
    CHECK(ws.htonl(0x12345678) == 0x78563412);
    CHECK(ws.ntohl(0x78563412) == 0x12345678);
    CHECK(ws.inet_addr("127.0.0.1") == 0x0100007F);
    CHECK(ws.inet_addr("no address") == INADDR_NONE);
    in_addr in;
    in.s_addr = 0x0A02A8C0;
    const char* text = ws.inet_ntoa(in);
    CHECK(text && !strcmp(text, "192.168.2.10"));
    return true;
}

bool ErrorsComeBackSigned() {
    CHECK(ws.socket(AF_INET, 99, 0) == INVALID_SOCKET);
    CHECK(ws.WSAGetLastError() != 0);
    CHECK(ws.closesocket((SOCKET)0x7FF0) == SOCKET_ERROR);
    ws.WSASetLastError(WSAENOBUFS);
    CHECK(ws.WSAGetLastError() == WSAENOBUFS);
    CHECK(ws.WSAIsBlocking() == 0);
    return true;
}

bool NamesAndLengths() {
    Pair p;
    CHECK(p.Open());
    sockaddr_in a;
    for (int given : {16, 20}) {
        int len = given;
        CHECK(ws.getsockname(p.client, (sockaddr*)&a, &len) == 0);
        CHECK_WHY(len == 16, "given " + Num(given) + ", got " + Num(len));
        CHECK(a.sin_family == AF_INET && a.sin_port != 0);
    }
    int len = 16;
    sockaddr_in peer;
    CHECK(ws.getpeername(p.server, (sockaddr*)&peer, &len) == 0 && len == 16);
    CHECK(peer.sin_port == a.sin_port);
    int value = 0;
    len = sizeof value;
    CHECK(ws.getsockopt(p.client, SOL_SOCKET, SO_ERROR, (char*)&value, &len) == 0 && value == 0 && len == 4);
    value = 1;
    CHECK(ws.setsockopt(p.listener, SOL_SOCKET, SO_REUSEADDR, (char*)&value, sizeof value) == 0);
    char host[256] = "";
    CHECK(ws.gethostname(host, sizeof host) == 0 && host[0]);
    return true;
}

bool SetsRoundTrip() {
    Pair p;
    CHECK(p.Open());
    CHECK(ws.send(p.client, "x", 1, 0) == 1);
    fd_set read = {}, except = {};
    read.fd_count = 2;
    read.fd_array[0] = p.listener;
    read.fd_array[1] = p.server;
    except.fd_count = 1;
    except.fd_array[0] = p.server;
    timeval wait = {5, 0};
    int r = ws.select(0, &read, nullptr, &except, &wait);
    CHECK_WHY(r == 1, Num(r));
    CHECK(read.fd_count == 1 && read.fd_array[0] == p.server);
    CHECK(except.fd_count == 0);
    CHECK(ws.__WSAFDIsSet(p.server, &read) == 1 && ws.__WSAFDIsSet(p.client, &read) == 0);
    fd_set write = {};
    write.fd_count = 2;
    write.fd_array[0] = p.client;
    write.fd_array[1] = p.server;
    r = ws.select(0, nullptr, &write, nullptr, &wait);
    CHECK_WHY(r == 2, Num(r));
    CHECK(write.fd_count == 2 && write.fd_array[0] == p.client && write.fd_array[1] == p.server);
    u_long pending = 0;
    CHECK(ws.ioctlsocket(p.server, FIONREAD, &pending) == 0 && pending == 1);
    return true;
}

bool EchoBlocking() {
    SOCKET s = ConnectEcho();
    CHECK_WHY(s != INVALID_SOCKET, "echo peer on port " + Num(echoPort));
    const char text[] = "hello through the stack";
    char back[sizeof text] = "";
    bool ok = SendAll(s, text, sizeof text, nullptr) && RecvAll(s, back, sizeof back);
    ws.closesocket(s);
    CHECK(ok);
    CHECK(!memcmp(text, back, sizeof text));
    return true;
}

bool EchoHundredKilobytes() {
    SOCKET s = ConnectEcho();
    CHECK(s != INVALID_SOCKET);
    const int n = 100 * 1024;
    std::vector<char> out(n), in(n);
    for (int i = 0; i < n; ++i) out[i] = (char)(i * 31 + i / 251);
    int largest = 0;
    bool ok = SendAll(s, out.data(), n, &largest) && RecvAll(s, in.data(), n);
    int big = ok ? ws.send(s, out.data(), 65536, 0) : 0;  // one call of 64 KB sends something
    ws.closesocket(s);
    CHECK(ok);
    CHECK(in == out);
    CHECK_WHY(big > 0 && big <= 65536, Num(big));
    if (own) CHECK_WHY(largest <= 0x7FFF && big <= 0x7FFF, "largest send " + Num(largest));
    return true;
}

bool AsyncSelectNotices() {
    SOCKET s = ConnectEcho();
    CHECK(s != INVALID_SOCKET);
    bool ok = ws.WSAAsyncSelect(s, window, SelectMessage, FD_READ | FD_CLOSE) == 0;
    ok = ok && ws.send(s, "ping", 4, 0) == 4 && ws.shutdown(s, SD_SEND) == 0;
    std::string got;
    bool closed = false, sawRead = false;
    MSG m;
    while (ok && !closed && WaitPosted(SelectMessage, &m)) {
        if (m.wParam != (WPARAM)s) {
            Fail("notice for socket " + Num((long long)m.wParam) + ", not " + Num((long long)s));
            ok = false;
            break;
        }
        // On FD_CLOSE too: what arrived with the close is read there.
        for (;;) {
            char b[16];
            int r = ws.recv(s, b, sizeof b, 0);
            if (r <= 0) break;
            got.append(b, r);
        }
        sawRead = sawRead || LOWORD(m.lParam) == FD_READ;
        closed = LOWORD(m.lParam) == FD_CLOSE;
    }
    ws.closesocket(s);
    CHECK(ok);
    CHECK_WHY(got == "ping", got);
    CHECK(sawRead && closed);
    return true;
}

bool BlockingLookups() {
    hostent* h = ws.gethostbyname("localhost");
    CHECK(h);
    CHECK(!strcmp(h->h_name, "localhost") && h->h_length == 4 && h->h_addrtype == AF_INET);
    CHECK(*(u_long*)h->h_addr_list[0] == 0x0100007F);
    servent* s = ws.getservbyname("echo", "tcp");
    CHECK(s && !strcmp(s->s_name, "echo") && !strcmp(s->s_proto, "tcp") && s->s_port == (short)ws.htons(7));
    s = ws.getservbyport(ws.htons(25), "tcp");
    CHECK(s && !strcmp(s->s_name, "smtp"));
    protoent* p = ws.getprotobyname("tcp");
    CHECK(p && p->p_proto == 6 && !strcmp(p->p_name, "tcp"));
    p = ws.getprotobynumber(17);
    CHECK(p && !strcmp(p->p_name, "udp"));
    CHECK(!ws.gethostbyname("no-such-host.invalid"));
    CHECK(ws.WSAGetLastError() != 0);
    u_long loop = 0x0100007F;
    h = ws.gethostbyaddr((const char*)&loop, 4, AF_INET);
    CHECK(h && h->h_length == 4);
    return true;
}

// Each record in one block laid out as its builder lays it out.
bool RecordLayouts() {
    const unsigned w = sizeof(void*);
    char* h = (char*)ws.gethostbyname("localhost");
    CHECK(h);
    hostent* he = (hostent*)h;
    CHECK_WHY(he->h_name == h + records::HostentSize(w, 9) - 10, "h_name at " + Num(he->h_name - h));
    CHECK(he->h_addr_list[0] < he->h_name && (char*)he->h_aliases < he->h_name);
    char* s = (char*)ws.getservbyname("echo", "tcp");
    CHECK(s);
    servent* se = (servent*)s;
    CHECK_WHY(se->s_proto + 4 == s + records::ServentSize(w, 4, 3), "s_proto at " + Num(se->s_proto - s));
    char* p = (char*)ws.getprotobyname("udp");
    CHECK(p);
    CHECK(((protoent*)p)->p_name + 4 == p + records::ProtoentSize(w, 3));
    CHECK_WHY(h == s && s == p, "every record lies in the thread's one buffer");
    return true;
}

DWORD WINAPI OtherThreadLookup(void* out) {
    *(hostent**)out = ws.gethostbyname("localhost");
    ws.getprotobyname("udp");
    return 0;
}

bool ThreadsKeepTheirRecords() {
    hostent* mine = ws.gethostbyname("localhost");
    CHECK(mine);
    hostent* theirs = nullptr;
    HANDLE t = CreateThread(nullptr, 0, OtherThreadLookup, &theirs, 0, nullptr);
    WaitForSingleObject(t, 10000);
    CloseHandle(t);
    CHECK(theirs && theirs != mine);
    CHECK(!strcmp(mine->h_name, "localhost") && mine->h_length == 4);
    return true;
}

bool AsyncHostLookups() {
    char small[20], big[1024];
    HANDLE h = ws.WSAAsyncGetHostByName(window, ReplyMessage, "localhost", small, sizeof small);
    CHECK(h);
    MSG m;
    CHECK(WaitPosted(ReplyMessage, &m));
    CHECK(m.wParam == (WPARAM)h);
    CHECK_WHY(AsyncError(m.lParam) == WSAENOBUFS, Num(m.lParam));
    if (own) {
        CHECK((UINT_PTR)h <= 0xFFFF);
        CHECK_WHY(AsyncLength(m.lParam) == (unsigned)records::HostentSize(sizeof(void*), 9), Num(m.lParam));
#ifndef _WIN64
        CHECK(m.lParam == 0x2747002A);
#endif
    } else {
        CHECK(AsyncLength(m.lParam) > sizeof small);
    }
    h = ws.WSAAsyncGetHostByName(window, ReplyMessage, "localhost", big, sizeof big);
    CHECK(h && WaitPosted(ReplyMessage, &m) && m.wParam == (WPARAM)h);
    CHECK_WHY(AsyncError(m.lParam) == 0, Num(m.lParam));
    if (own) CHECK_WHY(m.lParam == 0, Num(m.lParam));
    CHECK(!strcmp(((hostent*)big)->h_name, "localhost") && ((hostent*)big)->h_length == 4);
    h = ws.WSAAsyncGetHostByName(window, ReplyMessage, "no-such-host.invalid", big, sizeof big);
    CHECK(h && WaitPosted(ReplyMessage, &m) && m.wParam == (WPARAM)h);
    CHECK_WHY(AsyncError(m.lParam) != 0, Num(m.lParam));
    u_long loop = 0x0100007F;
    h = ws.WSAAsyncGetHostByAddr(window, ReplyMessage, (const char*)&loop, 4, AF_INET, big, sizeof big);
    CHECK(h && WaitPosted(ReplyMessage, &m) && m.wParam == (WPARAM)h && AsyncError(m.lParam) == 0);
    CHECK(((hostent*)big)->h_length == 4 && *(u_long*)((hostent*)big)->h_addr_list[0] == loop);
    return true;
}

// Service and protocol replies are queued before the call returns.
bool AsyncReplyAlreadyQueued() {
    char buf[256];
    struct Case {
        const char* what;
        HANDLE (*call)(char*, int);
    } cases[] = {
        {"service by name",
         [](char* b, int n) { return ws.WSAAsyncGetServByName(window, ReplyMessage, "echo", "tcp", b, n); }},
        {"service by port",
         [](char* b, int n) { return ws.WSAAsyncGetServByPort(window, ReplyMessage, ws.htons(7), "tcp", b, n); }},
        {"protocol by name",
         [](char* b, int n) { return ws.WSAAsyncGetProtoByName(window, ReplyMessage, "udp", b, n); }},
        {"protocol by number",
         [](char* b, int n) { return ws.WSAAsyncGetProtoByNumber(window, ReplyMessage, 6, b, n); }},
    };
    for (const Case& c : cases) {
        HANDLE h = c.call(buf, sizeof buf);
        MSG m;
        CHECK_WHY(h && (UINT_PTR)h <= 0xFFFF, c.what);
        CHECK_WHY(PeekMessageA(&m, window, ReplyMessage, ReplyMessage, PM_REMOVE), c.what);
        CHECK_WHY(m.wParam == (WPARAM)h && m.lParam == 0, c.what);
    }
    HANDLE h = ws.WSAAsyncGetServByName(window, ReplyMessage, "echo", "tcp", buf, 10);
    MSG m;
    CHECK(h && PeekMessageA(&m, window, ReplyMessage, ReplyMessage, PM_REMOVE));
    CHECK(m.lParam == MakeAsyncReply(records::ServentSize(sizeof(void*), 4, 3), WSAENOBUFS));
    return true;
}

bool CancelCancelsNothing() {
    char buf[1024];
    HANDLE h = ws.WSAAsyncGetHostByName(window, ReplyMessage, "localhost", buf, sizeof buf);
    CHECK(h);
    CHECK(ws.WSACancelAsyncRequest(h) == 0);
    CHECK(ws.WSACancelAsyncRequest((HANDLE)0x4321) == 0);
    MSG m;
    CHECK(WaitPosted(ReplyMessage, &m) && m.wParam == (WPARAM)h);
    return true;
}

bool LongNamesAndShortAddresses() {
    char buf[1024];
    std::string name(300, 'a');
    CHECK(!ws.WSAAsyncGetHostByName(window, ReplyMessage, name.c_str(), buf, sizeof buf));
    CHECK(ws.WSAGetLastError() == WSAEINVAL);
    name.resize(255);
    HANDLE h = ws.WSAAsyncGetHostByName(window, ReplyMessage, name.c_str(), buf, sizeof buf);
    MSG m;
    CHECK(h && WaitPosted(ReplyMessage, &m) && m.wParam == (WPARAM)h && AsyncError(m.lParam) != 0);
    u_long loop = 0x0100007F;
    CHECK(!ws.gethostbyaddr((const char*)&loop, 3, AF_INET));
    CHECK(ws.WSAGetLastError() == WSAEFAULT);
    hostent* he = ws.gethostbyaddr((const char*)&loop, 16, AF_INET);
    CHECK(he && he->h_length == 4);
    CHECK(!ws.gethostbyname(nullptr) && ws.WSAGetLastError() == WSAEFAULT);
    CHECK(!ws.getservbyname(nullptr, "tcp") && ws.WSAGetLastError() == WSAEFAULT);
    CHECK(!ws.WSAAsyncGetProtoByName(window, ReplyMessage, nullptr, buf, sizeof buf));
    return true;
}

bool HandleCountStaysFlat() {
    typedef BOOL(WINAPI * CountFn)(HANDLE, DWORD*);
    CountFn GetProcessHandleCount =
        (CountFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessHandleCount");
    CHECK(GetProcessHandleCount);
    char buf[1024];
    DWORD before = 0, after = 0;
    CHECK_WHY(GetProcessHandleCount(GetCurrentProcess(), &before), Num(GetLastError()));
    for (int i = 0; i < 200; ++i) {
        HANDLE h = ws.WSAAsyncGetHostByName(window, ReplyMessage, "localhost", buf, sizeof buf);
        MSG m = {};
        CHECK_WHY(h, "error " + Num(ws.WSAGetLastError()) + " at " + Num(i));
        CHECK_WHY(WaitPosted(ReplyMessage, &m) && m.wParam == (WPARAM)h,
                  Num((long long)m.wParam) + " for " + Num((long long)(UINT_PTR)h) + " at " + Num(i));
        CHECK(ws.WSAAsyncGetProtoByName(window, ReplyMessage, "tcp", buf, sizeof buf));
        CHECK(WaitPosted(ReplyMessage, &m));
    }
    Sleep(0);
    CHECK(GetProcessHandleCount(GetCurrentProcess(), &after));
    CHECK_WHY(after <= before + 5, Num(before) + " handles before, " + Num(after) + " after");
    return true;
}

DWORD WINAPI Counted() { return 4321; }

bool LockAndOwnExports() {
    HANDLE lock = OpenSemaphoreA(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE, "Pelloch_Lock");
    CHECK(lock);
    CHECK(ws.TCPEnter() == WAIT_OBJECT_0);
    CHECK_WHY(WaitForSingleObject(lock, 0) == WAIT_TIMEOUT, "held by TCPEnter");
    CHECK(ws.TCPLeave());
    CHECK_WHY(!ws.TCPLeave(), "the count never exceeds 1");
    CHECK(WaitForSingleObject(lock, 0) == WAIT_OBJECT_0);
    ReleaseSemaphore(lock, 1, nullptr);
    CloseHandle(lock);
    CHECK(ws.s_perror() == 0);
    CHECK(ws.DoCallback((FARPROC)(void*)Counted) == 4321);
    return true;
}

int hookCalls;
BOOL hookSawBlocking;
BOOL WINAPI Hook() {
    if (++hookCalls == 1) hookSawBlocking = ws.WSAIsBlocking();
    if (hookCalls == 3) ws.WSACancelBlockingCall();
    return FALSE;
}
BOOL WINAPI OtherHook() { return FALSE; }

bool BlockingHookRunsAndCancels() {
    Pair p;
    CHECK(p.Open());
    ws.WSASetBlockingHook((FARPROC)(void*)OtherHook);
    CHECK(ws.WSASetBlockingHook((FARPROC)(void*)Hook) == (FARPROC)(void*)OtherHook);
    char b[4];
    int r = ws.recv(p.server, b, sizeof b, 0);
    int error = ws.WSAGetLastError();
    CHECK(ws.WSAUnhookBlockingHook() == 0);
    CHECK_WHY(r == SOCKET_ERROR && error == WSAEINTR, Num(r) + "/" + Num(error));
    CHECK(hookCalls == 3 && hookSawBlocking == 1);
    CHECK(ws.WSACancelBlockingCall() == SOCKET_ERROR);
    CHECK(ws.WSAIsBlocking() == 0);
    CHECK(ws.send(p.client, "ok", 2, 0) == 2 && ws.recv(p.server, b, sizeof b, 0) == 2);
    return true;
}

// A thread that ran before the load has no buffer made for it at attach.
HANDLE earlyGo, earlyDone;
std::string earlyFailure = "not run";
DWORD WINAPI EarlyThread(void*) {
    WaitForSingleObject(earlyGo, INFINITE);
    hostent* h = ws.gethostbyname("localhost");
    bool hostOk = h && !strcmp(h->h_name, "localhost");
    protoent* p = ws.getprotobynumber(6);  // may reuse the host record's buffer
    if (!hostOk)
        earlyFailure = "host look-up, error " + Num(ws.WSAGetLastError());
    else if (!p || p->p_proto != 6)
        earlyFailure = "protocol look-up, error " + Num(ws.WSAGetLastError());
    else
        earlyFailure.clear();
    SetEvent(earlyDone);
    return 0;
}

bool ThreadFromBeforeTheLoad() {
    SetEvent(earlyGo);
    CHECK(WaitForSingleObject(earlyDone, 10000) == WAIT_OBJECT_0);
    CHECK_WHY(earlyFailure.empty(), earlyFailure);
    return true;
}

bool Cleanup() {
    CHECK(ws.WSACleanup() == 0);
    return true;
}

struct Check {
    const char* name;
    bool (*run)();
    bool ownOnly;
    bool needsEcho;
};

const Check Checks[] = {
    {"startup", Startup, false, false},
    {"startup_without_data", StartupWithoutData, true, false},
    {"byte_order", ByteOrderAndAddresses, false, false},
    {"errors", ErrorsComeBackSigned, false, false},
    {"names_and_lengths", NamesAndLengths, false, false},
    {"sets", SetsRoundTrip, false, false},
    {"echo", EchoBlocking, false, true},
    {"echo_100k", EchoHundredKilobytes, false, true},
    {"async_select", AsyncSelectNotices, false, true},
    {"lookups", BlockingLookups, false, false},
    {"record_layouts", RecordLayouts, true, false},
    {"thread_records", ThreadsKeepTheirRecords, false, false},
    {"async_host", AsyncHostLookups, false, false},
    {"async_queued", AsyncReplyAlreadyQueued, true, false},
    {"async_cancel", CancelCancelsNothing, true, false},
    {"long_names", LongNamesAndShortAddresses, true, false},
    {"handles_flat", HandleCountStaysFlat, true, false},
    {"lock_and_exports", LockAndOwnExports, true, false},
    {"blocking_hook", BlockingHookRunsAndCancels, true, false},
    {"early_thread", ThreadFromBeforeTheLoad, false, false},
    {"cleanup", Cleanup, false, false},
};

template <typename F>
void Bind(HMODULE m, F& fn, LPCSTR which) {
    fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(m, which)));
}

// Binds every entry; the name of the first missing one, or empty.
std::string BindAll(HMODULE m) {
#define QV_BIND(name, ordinal)                   \
    Bind(m, ws.name, MAKEINTRESOURCEA(ordinal)); \
    if (!ws.name) return #name;
    QV_WS11_ENTRIES(QV_BIND)
#undef QV_BIND
    if (!own) return std::string();
    Bind(m, ws.TCPEnter, "TCPEnter");
    Bind(m, ws.TCPLeave, "TCPLeave");
    Bind(m, ws.DoCallback, "DoCallback");
    Bind(m, ws.s_perror, MAKEINTRESOURCEA(1108));
    if (!ws.TCPEnter || !ws.TCPLeave || !ws.DoCallback || !ws.s_perror) return "psock32's own exports";
    if (!GetProcAddress(m, MAKEINTRESOURCEA(5000)) ||
        GetProcAddress(m, MAKEINTRESOURCEA(5000)) != GetProcAddress(m, "thk_ThunkData32"))
        return "thk_ThunkData32";
    return std::string();
}

bool Selected(const Check& c, const std::vector<std::string>& only) {
    if (only.empty()) return true;
    for (const std::string& o : only)
        if (o == c.name) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc < 2) {
        printf("usage: ws11probe LIBRARY [--own] [--echo PORT] [CHECK...]\n");
        return 2;
    }
    std::vector<std::string> only;
    for (int i = 2; i < argc; ++i) {
        if (!strcmp(argv[i], "--own"))
            own = true;
        else if (!strcmp(argv[i], "--echo") && i + 1 < argc)
            echoPort = (unsigned short)atoi(argv[++i]);
        else
            only.push_back(argv[i]);
    }
    earlyGo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    earlyDone = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE early = CreateThread(nullptr, 0, EarlyThread, nullptr, 0, nullptr);

    HMODULE library = LoadLibraryA(argv[1]);
    if (!library) {
        printf("load failed: %s error %lu\n", argv[1], GetLastError());
        TerminateThread(early, 0);  // never let go: it would call entries that are not there
        return 3;
    }
    std::string missing = BindAll(library);
    if (!missing.empty()) {
        printf("missing entry: %s\n", missing.c_str());
        TerminateThread(early, 0);
        return 4;
    }
    window = CreateWindowExA(0, "STATIC", "ws11probe", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    int failed = 0;
    for (const Check& c : Checks) {
        if (!Selected(c, only) && strcmp(c.name, "startup") && strcmp(c.name, "cleanup")) continue;
        if (c.ownOnly && !own) {
            printf("SKIP %s: psock32's own behaviour\n", c.name);
            continue;
        }
        if (c.needsEcho && !echoPort) {
            printf("SKIP %s: no echo peer\n", c.name);
            continue;
        }
        failure.clear();
        bool ok = c.run();
        printf(ok ? "PASS %s\n" : "FAIL %s: %s\n", c.name, failure.c_str());
        failed += !ok;
    }
    if (WaitForSingleObject(early, 0) == WAIT_TIMEOUT) {
        SetEvent(earlyGo);
        WaitForSingleObject(early, 10000);
    }
    CloseHandle(early);
    FreeLibrary(library);
    printf("unloaded\n");
    return failed ? 1 : 0;
}
