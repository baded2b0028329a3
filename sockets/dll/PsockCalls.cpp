// The Windows Sockets calls carried down to the 16-bit stack: each turns its
// arguments into their 16-bit forms, calls one entry through a bridge and
// turns the DX:AX answer back.
#include <algorithm>

#include "ArgImage.h"
#include "ByteOrder.h"
#include "FdSet16.h"
#include "PsockInternal.h"
#include "WsaData16.h"

using thunk::ArgImage;
using thunk::SegPtr;
using thunk::ThunkFrame;

namespace psock {

namespace {

typedef SegPtr(WINAPI* MapSlotFn)(const void*);
typedef void(WINAPI* UnmapSlotFn)(const SegPtr*);
const MapSlotFn MapSlot[] = {SMapLS_IP_EBP_8,  SMapLS_IP_EBP_12, SMapLS_IP_EBP_16, SMapLS_IP_EBP_20, SMapLS_IP_EBP_24,
                             SMapLS_IP_EBP_28, SMapLS_IP_EBP_32, SMapLS_IP_EBP_36, SMapLS_IP_EBP_40};
const UnmapSlotFn UnmapSlot[] = {SUnMapLS_IP_EBP_8,  SUnMapLS_IP_EBP_12, SUnMapLS_IP_EBP_16,
                                 SUnMapLS_IP_EBP_20, SUnMapLS_IP_EBP_24, SUnMapLS_IP_EBP_28,
                                 SUnMapLS_IP_EBP_32, SUnMapLS_IP_EBP_36, SUnMapLS_IP_EBP_40};

// Result forms.
int S16(uint32_t dxax) { return thunk::SignedAx(dxax); }
unsigned U16(uint32_t dxax) { return thunk::UnsignedAx(dxax); }

// The stack takes lengths as signed 16-bit values: longer transfers are cut
// to the largest it can take (a partial transfer is legal), never wrapped.
int Len16(int len) { return len < 0 ? -1 : std::min(len, 0x7FFF); }

// The exits for the byte counts the translated exports take.
uint32_t Exit(ThunkFrame& frame) {
    switch (frame.code >> 8) {
    case 8:
        return FT_Exit8(&frame);
    case 12:
        return FT_Exit12(&frame);
    case 20:
        return FT_Exit20(&frame);
    default:
        return FT_Exit24(&frame);
    }
}

// A translated call under construction: the prologue, stack copies and
// flagged pointers, FT_Thunk and the exit for the export's byte count.
class Translated {
public:
    explicit Translated(thunk::Entry entry) : image_(frame_.image, ThunkFrame::MaxImage) {
        frame_.code = thunk::TranslatingCode(entry);
        frame_.target = thk_ThunkData32.translating;
        frame_.size = 0;
        frame_.flagged = 0;
        frame_.result = 0;
        frame_.done = false;
    }
    Translated& W16(uint32_t v) {
        image_.W16(v);
        return *this;
    }
    Translated& D32(uint32_t v) {
        image_.D32(v);
        return *this;
    }
    // A flat pointer FT_Thunk maps for the call (null stays null).
    Translated& Flag(void* p) {
        if (p && frame_.flagged < ThunkFrame::MaxFlagged) {
            frame_.flaggedAt[frame_.flagged] = (uint8_t)image_.Size();
            frame_.flaggedPointer[frame_.flagged++] = p;
        }
        return D32(0);
    }
    uint32_t Run() {
        frame_.size = image_.Size();
        FT_Thunk(&frame_);
        return Exit(frame_);
    }

private:
    ThunkFrame frame_;
    ArgImage image_;
};

// A length the stack reads and writes as 16 bits: mapped for the call, its
// page touched first, and the 16-bit value left there widened with sign.
class LengthArg {
public:
    explicit LengthArg(int* length) : length_(length), seg_(0) {
        if (!length_) return;
        *(volatile char*)length_ = *(volatile char*)length_;
        seg_ = SMapLS(length_);
    }
    ~LengthArg() {
        if (!length_) return;
        SUnMapLS(seg_);
        *length_ = (int16_t)GetLe16(length_);
    }
    SegPtr Seg() const { return seg_; }

private:
    int* length_;
    SegPtr seg_;
};

void Touch(void* p) {
    if (p) *(volatile char*)p = *(volatile char*)p;
}

// The address-and-length calls: accept, getpeername, getsockname.
int AddressCall(thunk::Entry entry, SOCKET s, sockaddr* name, int* namelen) {
    Translated call(entry);
    uint32_t r;
    {
        LengthArg length(namelen);
        call.W16((uint32_t)s).Flag(name).D32(length.Seg());
        r = call.Run();
    }
    return S16(r);
}

}  // namespace

uint32_t Call16(thunk::Entry entry, const uint8_t* image, uint32_t size) {
    return thk_ThunkData32.simple(entry, image, size);
}

MappedArg::MappedArg(int ebpOffset, const void* slot) : index_((ebpOffset - 8) / 4), seg_(MapSlot[index_](slot)) {}

MappedArg::~MappedArg() { UnmapSlot[index_](&seg_); }

int StackError() { return S16(Call16(thunk::GetLastError)); }

void SetStackError(int error) {
    uint8_t b[2];
    ArgImage(b, sizeof b).W16((uint32_t)error);
    Call16(thunk::SetLastError, b, sizeof b);
}

}  // namespace psock

using namespace psock;

namespace {

// A simple call with its image built in place.
struct Simple {
    uint8_t bytes[thunk::ThunkFrame::MaxImage];
    ArgImage image{bytes, sizeof bytes};
    uint32_t Run(thunk::Entry entry) { return Call16(entry, bytes, image.Size()); }
};

}  // namespace

extern "C" {

SOCKET WINAPI accept(SOCKET s, sockaddr* addr, int* addrlen) {
    return (SOCKET)(INT_PTR)AddressCall(thunk::Accept, s, addr, addrlen);
}

int WINAPI getpeername(SOCKET s, sockaddr* name, int* namelen) {
    return AddressCall(thunk::GetPeerName, s, name, namelen);
}

int WINAPI getsockname(SOCKET s, sockaddr* name, int* namelen) {
    return AddressCall(thunk::GetSockName, s, name, namelen);
}

int WINAPI bind(SOCKET s, const sockaddr* name, int namelen) {
    MappedArg n(12, &name);
    Simple c;
    c.image.W16((uint32_t)s).D32(n.Seg()).W16(namelen);
    return S16(c.Run(thunk::Bind));
}

int WINAPI connect(SOCKET s, const sockaddr* name, int namelen) {
    MappedArg n(12, &name);
    Simple c;
    c.image.W16((uint32_t)s).D32(n.Seg()).W16(namelen);
    return S16(c.Run(thunk::Connect));
}

int WINAPI closesocket(SOCKET s) {
    Simple c;
    c.image.W16((uint32_t)s);
    return S16(c.Run(thunk::CloseSocket));
}

int WINAPI getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen) {
    Translated call(thunk::GetSockOpt);
    uint32_t r;
    {
        LengthArg length(optlen);
        call.W16((uint32_t)s).W16(level).W16(optname).Flag(optval).D32(length.Seg());
        r = call.Run();
    }
    return S16(r);
}

u_long WINAPI htonl(u_long hostlong) {
    Simple c;
    c.image.D32(hostlong);
    return c.Run(thunk::Htonl);
}

u_short WINAPI htons(u_short hostshort) {
    Simple c;
    c.image.W16(hostshort);
    return (u_short)c.Run(thunk::Htons);
}

u_long WINAPI ntohl(u_long netlong) {
    Simple c;
    c.image.D32(netlong);
    return c.Run(thunk::Ntohl);
}

u_short WINAPI ntohs(u_short netshort) {
    Simple c;
    c.image.W16(netshort);
    return (u_short)c.Run(thunk::Ntohs);
}

unsigned long WINAPI inet_addr(const char* cp) {
    MappedArg p(8, &cp);
    Simple c;
    c.image.D32(p.Seg());
    return c.Run(thunk::InetAddr);
}

char* WINAPI inet_ntoa(ws11::in_addr in) {
    Simple c;
    c.image.D32(in.s_addr);
    return static_cast<char*>(MapSL(c.Run(thunk::InetNtoa)));
}

int WINAPI ioctlsocket(SOCKET s, long cmd, u_long* argp) {
    MappedArg p(16, &argp);
    Simple c;
    c.image.W16((uint32_t)s).D32((uint32_t)cmd).D32(p.Seg());
    return S16(c.Run(thunk::IoctlSocket));
}

int WINAPI listen(SOCKET s, int backlog) {
    Simple c;
    c.image.W16((uint32_t)s).W16(backlog);
    return S16(c.Run(thunk::Listen));
}

int WINAPI recv(SOCKET s, char* buf, int len, int flags) {
    MappedArg b(12, &buf);
    Simple c;
    c.image.W16((uint32_t)s).D32(b.Seg()).W16(Len16(len)).W16(flags);
    return S16(c.Run(thunk::Recv));
}

int WINAPI send(SOCKET s, const char* buf, int len, int flags) {
    MappedArg b(12, &buf);
    Simple c;
    c.image.W16((uint32_t)s).D32(b.Seg()).W16(Len16(len)).W16(flags);
    return S16(c.Run(thunk::Send));
}

int WINAPI recvfrom(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen) {
    Translated call(thunk::RecvFrom);
    uint32_t r;
    {
        LengthArg length(fromlen);
        call.W16((uint32_t)s).Flag(buf).W16(Len16(len)).W16(flags).Flag(from).D32(length.Seg());
        r = call.Run();
    }
    return S16(r);
}

int WINAPI sendto(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen) {
    MappedArg b(12, &buf);
    MappedArg t(24, &to);
    Simple c;
    c.image.W16((uint32_t)s).D32(b.Seg()).W16(Len16(len)).W16(flags).D32(t.Seg()).W16(tolen);
    return S16(c.Run(thunk::SendTo));
}

int WINAPI select(int nfds, fd_set* readfds, fd_set* writefds, fd_set* exceptfds, const timeval* timeout) {
    fd_set* sets[3] = {readfds, writefds, exceptfds};
    uint8_t copies[3][forms16::FdSetBytes];
    Translated call(thunk::Select);
    call.W16(nfds);
    for (int i = 0; i < 3; ++i) {
        if (sets[i]) {
            Touch(sets[i]);
            FdSetTo16(*sets[i], copies[i]);
        }
        call.Flag(sets[i] ? copies[i] : nullptr);
    }
    call.Flag(const_cast<timeval*>(timeout));
    int r = S16(call.Run());
    for (int i = 0; i < 3; ++i)
        if (sets[i]) FdSetFrom16(copies[i], sets[i]);
    return r;
}

int WINAPI setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen) {
    MappedArg v(20, &optval);
    Simple c;
    c.image.W16((uint32_t)s).W16(level).W16(optname).D32(v.Seg()).W16(optlen);
    return S16(c.Run(thunk::SetSockOpt));
}

int WINAPI shutdown(SOCKET s, int how) {
    Simple c;
    c.image.W16((uint32_t)s).W16(how);
    return S16(c.Run(thunk::Shutdown));
}

SOCKET WINAPI socket(int af, int type, int protocol) {
    Simple c;
    c.image.W16(af).W16(type).W16(protocol);
    return (SOCKET)(INT_PTR)S16(c.Run(thunk::Socket));
}

int WINAPI gethostname(char* name, int namelen) {
    MappedArg n(8, &name);
    Simple c;
    c.image.D32(n.Seg()).W16(namelen);
    return S16(c.Run(thunk::GetHostName));
}

int WINAPI WSAAsyncSelect(SOCKET s, HWND hWnd, u_int wMsg, long lEvent) {
    Simple c;
    c.image.W16((uint32_t)s).W16((uint32_t)(UINT_PTR)hWnd).W16(wMsg).D32((uint32_t)lEvent);
    return S16(c.Run(thunk::AsyncSelect));
}

FARPROC WINAPI WSASetBlockingHook(FARPROC lpBlockFunc) {
    Simple c;
    c.image.D32(thunk::RoutineToWord(lpBlockFunc));
    uint32_t previous = c.Run(thunk::SetBlockingHook);
    FARPROC routine = thunk::WordToRoutine(previous);
    thunk::ReleaseRoutineWord(previous);
    return routine;
}

int WINAPI WSAUnhookBlockingHook(void) { return S16(Call16(thunk::UnhookBlockingHook)); }

int WINAPI WSAGetLastError(void) { return StackError(); }

void WINAPI WSASetLastError(int iError) { SetStackError(iError); }

int WINAPI WSACancelBlockingCall(void) { return S16(Call16(thunk::CancelBlockingCall)); }

BOOL WINAPI WSAIsBlocking(void) { return (BOOL)U16(Call16(thunk::IsBlocking)); }

int WINAPI WSAStartup(WORD wVersionRequired, WSADATA* lpWSAData) {
    uint8_t data16[forms16::WsaDataBytes] = {};
    Touch(lpWSAData);
    int r = S16(Translated(thunk::Startup).W16(wVersionRequired).Flag(data16).Run());
    if (lpWSAData) WsaDataFrom16(data16, static_cast<char*>(MapSL(WsaData16Vendor(data16))), lpWSAData);
    return r;
}

int WINAPI WSACleanup(void) { return S16(Call16(thunk::Cleanup)); }

int WINAPI __WSAFDIsSet(SOCKET fd, fd_set* set) {
    uint8_t copy[forms16::FdSetBytes];
    if (set) FdSetTo16(*set, copy);
    return S16(Translated(thunk::FdIsSet).W16((uint32_t)fd).Flag(set ? copy : nullptr).Run());
}

}  // extern "C"
