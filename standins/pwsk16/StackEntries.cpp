// The stack's entries 0-39 in their 16-bit forms, each carried to the host's
// Windows Sockets: 16-bit socket numbers become host sockets, 16:16 pointers
// flat ones, 16-bit sets and lengths host ones, and far results come from
// the calling thread's own buffers.
#include <cstring>

#include "ByteOrder.h"
#include "SelectRelay.h"
#include "Stack16.h"
#include "Stack16Forms.h"

using thunk::ArgReader;

namespace stack16 {

namespace {

const char Description[] = "PWSK16 16-bit socket stack (stand-in over the host's Windows Sockets)";
const char Vendor[] = "Quorvane PWSK16 stand-in";
thunk::SegPtr vendorSeg;  // mapped at the first WSAStartup, kept for the library's life

uint32_t Result(int v) { return (uint32_t)(int32_t)v; }
uint32_t Fail(int error) {
    WSASetLastError(error);
    return Result(SOCKET_ERROR);
}

// The host socket for a number; INVALID_SOCKET with WSAENOTSOCK when none.
SOCKET RealOf(uint16_t number) {
    SOCKET s = Numbers().Real(number);
    if (s == INVALID_SOCKET) WSASetLastError(WSAENOTSOCK);
    return s;
}

void CopyText(char* to, size_t size, const char* from) {
    size_t n = strnlen(from, size - 1);
    memcpy(to, from, n);
    to[n] = 0;
}

// A far result: the text copied to the thread's buffer, which is mapped once.
uint32_t FarText(const char* text, char* buffer, size_t size, thunk::SegPtr* seg) {
    if (!text) return 0;
    CopyText(buffer, size, text);
    if (!*seg && thk_ThunkData16.map) *seg = thk_ThunkData16.map(buffer);
    return *seg;
}

uint32_t FarName(const char* name) {
    TaskState* t = Task();
    return t ? FarText(name, t->text, sizeof t->text, &t->textSeg) : 0;
}

// A new host socket gets a number, or is closed again when none is left.
uint32_t Numbered(SOCKET s) {
    if (s == INVALID_SOCKET) return Result(-1);
    uint16_t n = Numbers().Add(s);
    if (!n) {
        closesocket(s);
        return Fail(WSAEMFILE);
    }
    return n;
}

// A 16-bit length word: read as a signed value, written back as one.
struct Length16 {
    explicit Length16(uint32_t seg) : at(Flat<uint8_t>(seg)), value(at ? (int16_t)GetLe16(at) : 0) {}
    int* Pointer() { return at ? &value : nullptr; }
    ~Length16() {
        if (at) PutLe16(at, (uint32_t)value);
    }
    uint8_t* at;
    int value;
};

// Options: the level is a 16-bit unsigned value (SOL_SOCKET is 0xFFFF), the
// name a signed one (SO_DONTLINGER is ~SO_LINGER).
uint32_t GetSockOpt(ArgReader& a) {
    SOCKET s = RealOf(a.W16());
    int level = a.W16(), name = a.S16();
    char* value = Flat<char>(a.D32());
    Length16 length(a.D32());
    if (s == INVALID_SOCKET) return Result(-1);
    return Result(getsockopt(s, level, name, value, length.Pointer()));
}

uint32_t SetSockOpt(ArgReader& a) {
    SOCKET s = RealOf(a.W16());
    int level = a.W16(), name = a.S16();
    const char* value = Flat<const char>(a.D32());
    int length = a.S16();
    if (s == INVALID_SOCKET) return Result(-1);
    return Result(setsockopt(s, level, name, value, length));
}

typedef int(WSAAPI* AddressFn)(SOCKET, sockaddr*, int*);
uint32_t AddressCall(ArgReader& a, AddressFn fn) {
    SOCKET s = RealOf(a.W16());
    sockaddr* name = Flat<sockaddr>(a.D32());
    Length16 length(a.D32());
    if (s == INVALID_SOCKET) return Result(-1);
    return Result(fn(s, name, length.Pointer()));
}

uint32_t Accept(ArgReader& a) {
    uint16_t n = a.W16();
    SOCKET s = RealOf(n);
    sockaddr* name = Flat<sockaddr>(a.D32());
    Length16 length(a.D32());
    if (s == INVALID_SOCKET || !WaitReady(n, s, false)) return Result(-1);
    return Numbered(accept(s, name, length.Pointer()));
}

uint32_t GetSockName(ArgReader& a) { return AddressCall(a, getsockname); }
uint32_t GetPeerName(ArgReader& a) { return AddressCall(a, getpeername); }

typedef int(WSAAPI* NameFn)(SOCKET, const sockaddr*, int);
uint32_t NameCall(ArgReader& a, NameFn fn) {
    SOCKET s = RealOf(a.W16());
    const sockaddr* name = Flat<const sockaddr>(a.D32());
    int length = a.S16();
    if (s == INVALID_SOCKET) return Result(-1);
    return Result(fn(s, name, length));
}
uint32_t Bind(ArgReader& a) { return NameCall(a, bind); }
uint32_t Connect(ArgReader& a) { return NameCall(a, connect); }

uint32_t CloseSocket(ArgReader& a) {
    uint16_t n = a.W16();
    SOCKET s = RealOf(n);
    if (s == INVALID_SOCKET) return Result(-1);
    int r = closesocket(s);
    if (r == 0) Numbers().Remove(n);
    return Result(r);
}

uint32_t Listen(ArgReader& a) {
    SOCKET s = RealOf(a.W16());
    int backlog = a.S16();
    return s == INVALID_SOCKET ? Result(-1) : Result(listen(s, backlog));
}

uint32_t Shutdown(ArgReader& a) {
    SOCKET s = RealOf(a.W16());
    int how = a.S16();
    return s == INVALID_SOCKET ? Result(-1) : Result(shutdown(s, how));
}

uint32_t Socket(ArgReader& a) {
    int af = a.S16(), type = a.S16(), protocol = a.S16();
    return Numbered(socket(af, type, protocol));
}

uint32_t IoctlSocket(ArgReader& a) {
    uint16_t n = a.W16();
    SOCKET s = RealOf(n);
    long cmd = (long)a.D32();
    u_long* arg = Flat<u_long>(a.D32());
    if (s == INVALID_SOCKET) return Result(-1);
    int r = ioctlsocket(s, cmd, arg);
    if (r == 0 && cmd == (long)FIONBIO && arg) Numbers().SetNonBlocking(n, *arg != 0);
    return Result(r);
}

uint32_t Recv(ArgReader& a) {
    uint16_t n = a.W16();
    SOCKET s = RealOf(n);
    char* buf = Flat<char>(a.D32());
    int len = a.S16(), flags = a.S16();
    if (s == INVALID_SOCKET || !WaitReady(n, s, false)) return Result(-1);
    return Result(recv(s, buf, len, flags));
}

uint32_t Send(ArgReader& a) {
    uint16_t n = a.W16();
    SOCKET s = RealOf(n);
    const char* buf = Flat<const char>(a.D32());
    int len = a.S16(), flags = a.S16();
    if (s == INVALID_SOCKET || !WaitReady(n, s, true)) return Result(-1);
    return Result(send(s, buf, len, flags));
}

uint32_t RecvFrom(ArgReader& a) {
    uint16_t n = a.W16();
    SOCKET s = RealOf(n);
    char* buf = Flat<char>(a.D32());
    int len = a.S16(), flags = a.S16();
    sockaddr* from = Flat<sockaddr>(a.D32());
    Length16 length(a.D32());
    if (s == INVALID_SOCKET || !WaitReady(n, s, false)) return Result(-1);
    return Result(recvfrom(s, buf, len, flags, from, length.Pointer()));
}

uint32_t SendTo(ArgReader& a) {
    uint16_t n = a.W16();
    SOCKET s = RealOf(n);
    const char* buf = Flat<const char>(a.D32());
    int len = a.S16(), flags = a.S16();
    const sockaddr* to = Flat<const sockaddr>(a.D32());
    int tolen = a.S16();
    if (s == INVALID_SOCKET || !WaitReady(n, s, true)) return Result(-1);
    return Result(sendto(s, buf, len, flags, to, tolen));
}

// A 16-bit set into a host one; false (error set) for a bad count or number.
bool SetFrom16(const uint8_t* set16, fd_set* set) {
    unsigned count = GetLe16(set16);
    if (count > (unsigned)forms16::FdSetSockets) {
        WSASetLastError(WSAEINVAL);
        return false;
    }
    set->fd_count = 0;
    for (unsigned i = 0; i < count; ++i) {
        SOCKET s = RealOf(GetLe16(set16 + 2 + 2 * i));
        if (s == INVALID_SOCKET) return false;
        set->fd_array[set->fd_count++] = s;
    }
    return true;
}

void SetTo16(const fd_set& set, uint8_t* set16) {
    PutLe16(set16, set.fd_count);
    for (unsigned i = 0; i < set.fd_count; ++i) PutLe16(set16 + 2 + 2 * i, Numbers().NumberOf(set.fd_array[i]));
}

uint32_t Select(ArgReader& a) {
    int nfds = a.S16();
    uint8_t* sets16[3];
    for (auto& s : sets16) s = Flat<uint8_t>(a.D32());
    timeval* timeout = Flat<timeval>(a.D32());
    fd_set sets[3];
    fd_set* pass[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (!sets16[i]) continue;
        if (!SetFrom16(sets16[i], &sets[i])) return Result(-1);
        pass[i] = &sets[i];
    }
    int r = select(nfds, pass[0], pass[1], pass[2], timeout);
    if (r >= 0)
        for (int i = 0; i < 3; ++i)
            if (pass[i]) SetTo16(sets[i], sets16[i]);
    return Result(r);
}

uint32_t FdIsSet(ArgReader& a) {
    uint16_t n = a.W16();
    const uint8_t* set16 = Flat<const uint8_t>(a.D32());
    if (!set16) return 0;
    unsigned count = GetLe16(set16);
    for (unsigned i = 0; i < count && i < (unsigned)forms16::FdSetSockets; ++i)
        if (GetLe16(set16 + 2 + 2 * i) == n) return 1;
    return 0;
}

// Notices go to the relay, which passes them on with the caller's number; the
// window handle arrives as its low 16 bits, which Wine resolves to the window.
uint32_t AsyncSelect(ArgReader& a) {
    uint16_t n = a.W16();
    SOCKET s = RealOf(n);
    HWND window = (HWND)(UINT_PTR)a.W16();
    UINT message = a.W16();
    long events = (long)a.D32();
    if (s == INVALID_SOCKET) return Result(-1);
    HWND relay = RelayWindow();
    if (!relay) return Fail(WSAENOBUFS);
    Numbers().SetTarget(n, events ? window : nullptr, message);
    int r = WSAAsyncSelect(s, relay, RelayMessage, events);
    if (r == 0) Numbers().SetNonBlocking(n, true);
    return Result(r);
}

void Fill16(const WSADATA& host, uint8_t* data16) {
    using namespace forms16;
    memset(data16, 0, WsaDataBytes);
    PutLe16(data16 + WsaVersion, host.wVersion);
    PutLe16(data16 + WsaHighVersion, host.wHighVersion);
    CopyText((char*)data16 + WsaDescription, WsaDescriptionBytes, Description);
    CopyText((char*)data16 + WsaStatus, WsaStatusBytes, host.szSystemStatus);
    PutLe16(data16 + WsaMaxSockets,
            host.iMaxSockets && host.iMaxSockets < SocketNumbers::Last ? host.iMaxSockets : SocketNumbers::Last);
    PutLe16(data16 + WsaMaxUdpDg, host.iMaxUdpDg);
    if (!vendorSeg && thk_ThunkData16.map) vendorSeg = thk_ThunkData16.map(Vendor);
    PutLe32(data16 + WsaVendor, vendorSeg);
}

uint32_t Startup(ArgReader& a) {
    WORD version = a.W16();
    uint8_t* data16 = Flat<uint8_t>(a.D32());
    WSADATA host;
    int r = WSAStartup(version, &host);
    if (r == 0) {
        Started();
        if (data16) Fill16(host, data16);
    }
    return Result(r);
}

uint32_t Cleanup(ArgReader&) {
    int r = WSACleanup();
    if (r == 0) Cleaned();
    return Result(r);
}

uint32_t GetLastErrorEntry(ArgReader&) { return Result(WSAGetLastError()); }
uint32_t SetLastErrorEntry(ArgReader& a) {
    WSASetLastError(a.W16());
    return 0;
}

uint32_t SetBlockingHook(ArgReader& a) {
    uint32_t routine = a.D32();
    TaskState* t = Task();
    if (!t) return 0;
    uint32_t previous = t->hook;
    t->hook = routine;
    return previous;
}

uint32_t UnhookBlockingHook(ArgReader&) {
    TaskState* t = Task();
    if (t && t->hook) {
#ifdef _WIN64
        if (thk_ThunkData16.unmap) thk_ThunkData16.unmap(t->hook);
#endif
        t->hook = 0;
    }
    return 0;
}

uint32_t CancelBlockingCall(ArgReader&) {
    TaskState* t = Task();
    if (!t || !t->blocking) return Fail(WSAEINVAL);
    t->cancelled = true;
    return 0;
}

uint32_t IsBlocking(ArgReader&) {
    TaskState* t = Task();
    return t && t->blocking ? 1 : 0;
}

uint32_t ProtoNumberOf(ArgReader& a) {
    const protoent* p = getprotobyname(Flat<const char>(a.D32()));
    return p ? Result(p->p_proto) : 0;
}

uint32_t ProtoNameOf(ArgReader& a) {
    const protoent* p = getprotobynumber(a.S16());
    return p ? FarName(p->p_name) : 0;
}

uint32_t ServPortOf(ArgReader& a) {
    const char* name = Flat<const char>(a.D32());
    const char* proto = Flat<const char>(a.D32());
    const servent* s = getservbyname(name, proto);
    return s ? (uint16_t)s->s_port : 0;
}

uint32_t ServNameOf(ArgReader& a) {
    int port = a.W16();
    const servent* s = getservbyport(port, Flat<const char>(a.D32()));
    return s ? FarName(s->s_name) : 0;
}

uint32_t GetHostName(ArgReader& a) {
    char* name = Flat<char>(a.D32());
    int length = a.S16();
    return Result(gethostname(name, length));
}

uint32_t HostAddressOf(ArgReader& a) {
    const hostent* h = gethostbyname(Flat<const char>(a.D32()));
    if (!h || h->h_addrtype != AF_INET || !h->h_addr_list[0]) return 0;
    uint32_t address;
    memcpy(&address, h->h_addr_list[0], 4);
    return address;
}

uint32_t HostNameOf(ArgReader& a) {
    uint32_t address = a.D32();
    const hostent* h = gethostbyaddr((const char*)&address, 4, AF_INET);
    return h ? FarName(h->h_name) : 0;
}

uint32_t Swap16(uint32_t v) { return (uint16_t)(((v & 0xFF) << 8) | ((v >> 8) & 0xFF)); }
uint32_t Swap32(uint32_t v) { return (Swap16(v) << 16) | Swap16(v >> 16); }
uint32_t Htons(ArgReader& a) { return Swap16(a.W16()); }
uint32_t Htonl(ArgReader& a) { return Swap32(a.D32()); }

uint32_t InetNtoa(ArgReader& a) {
    in_addr in;
    in.s_addr = a.D32();
    TaskState* t = Task();
    return t ? FarText(inet_ntoa(in), t->address, sizeof t->address, &t->addressSeg) : 0;
}

uint32_t InetAddr(ArgReader& a) { return inet_addr(Flat<const char>(a.D32())); }

typedef uint32_t (*EntryFn)(ArgReader&);
const EntryFn Entries[thunk::EntryCount] = {
    FdIsSet,             // 0
    AsyncSelect,         // 1
    CancelBlockingCall,  // 2
    SetBlockingHook,     // 3
    UnhookBlockingHook,  // 4
    IsBlocking,          // 5
    GetLastErrorEntry,   // 6
    SetLastErrorEntry,   // 7
    Cleanup,             // 8
    Startup,             // 9
    ProtoNumberOf,       // 10
    ProtoNameOf,         // 11
    ServPortOf,          // 12
    ServNameOf,          // 13
    GetHostName,         // 14
    HostAddressOf,       // 15
    HostNameOf,          // 16
    Socket,              // 17
    Shutdown,            // 18
    SetSockOpt,          // 19
    SendTo,              // 20
    Send,                // 21
    Select,              // 22
    RecvFrom,            // 23
    Recv,                // 24
    Htons,               // 25
    Htonl,               // 26
    Listen,              // 27
    InetNtoa,            // 28
    InetAddr,            // 29
    Htons,               // 30
    Htonl,               // 31
    GetSockOpt,          // 32
    GetSockName,         // 33
    GetPeerName,         // 34
    IoctlSocket,         // 35
    Connect,             // 36
    CloseSocket,         // 37
    Bind,                // 38
    Accept,              // 39
};

}  // namespace

uint32_t RunEntry(unsigned entry, ArgReader& args) { return Entries[entry](args); }

}  // namespace stack16
