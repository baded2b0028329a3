// The database look-ups: psock32 asks the stack only for the bare answer and
// builds the record itself, in the calling thread's buffer (blocking calls)
// or in the caller's buffer with a reply posted to its window (asynchronous).
#include <cstring>
#include <new>

#include "ArgImage.h"
#include "DbRecords.h"
#include "Id16Pool.h"
#include "PsockInternal.h"

using thunk::ArgImage;

namespace psock {

namespace {

struct Image {
    uint8_t bytes[16];
    ArgImage image{bytes, sizeof bytes};
    uint32_t Run(thunk::Entry entry) { return Call16(entry, bytes, image.Size()); }
};

const char* Far(uint32_t dxax) { return static_cast<const char*>(MapSL(dxax)); }

}  // namespace

int ProtoNumberOf(const char* name) {
    MappedArg n(8, &name);
    Image c;
    c.image.D32(n.Seg());
    return thunk::SignedAx(c.Run(thunk::ProtoNumberOf));
}

const char* ProtoNameOf(int number) {
    Image c;
    c.image.W16(number);
    return Far(c.Run(thunk::ProtoNameOf));
}

int ServPortOf(const char* name, const char* proto) {
    MappedArg n(8, &name);
    MappedArg p(12, &proto);
    Image c;
    c.image.D32(n.Seg()).D32(p.Seg());
    return thunk::SignedAx(c.Run(thunk::ServPortOf));
}

const char* ServNameOf(int port, const char* proto) {
    MappedArg p(12, &proto);
    Image c;
    c.image.W16(port).D32(p.Seg());
    return Far(c.Run(thunk::ServNameOf));
}

uint32_t HostAddressOf(const char* name) {
    MappedArg n(8, &name);
    Image c;
    c.image.D32(n.Seg());
    return c.Run(thunk::HostAddressOf);
}

const char* HostNameOf(uint32_t address) {
    Image c;
    c.image.D32(address);
    return Far(c.Run(thunk::HostNameOf));
}

}  // namespace psock

using namespace psock;
using records::NativeForm;

namespace {

// Task handles: 16-bit, so that a reply's wParam is the whole handle.
records::Id16Pool taskIds;

const char NoProto[] = "";

// A look-up without a name has nothing to ask (and no name for its record).
bool Named(const char* name) {
    if (name) return true;
    SetStackError(WSAEFAULT);
    return false;
}

// A blocking result in the calling thread's buffer, or null with the error set.
template <typename Build>
void* InThreadBuffer(Build build) {
    char* buffer = ThreadBuffer();
    if (!buffer) {
        SetStackError(WSAENOBUFS);
        return nullptr;
    }
    int length = ResultBufferBytes;
    if (!build(buffer, &length)) {
        SetStackError(WSAENOBUFS);
        return nullptr;
    }
    return buffer;
}

hostent* HostRecord(const char* name, uint32_t address) {
    return static_cast<hostent*>(InThreadBuffer([&](char* b, int* len) {
        return records::BuildHostent(b, len, NativeForm(b), name, address, ws11::AF_INET, 4);
    }));
}

// The reply of an asynchronous look-up once its answer is known: 0 when the
// record fitted, the size needed with WSAENOBUFS when not, the stack's error
// when there was no answer.
template <typename Build>
LPARAM Reply(bool answered, char* buf, int buflen, Build build) {
    if (!answered) return ws11::MakeAsyncReply(0, StackError());
    int length = buflen;
    if (build(buf, &length)) return 0;
    return ws11::MakeAsyncReply((unsigned)length, WSAENOBUFS);
}

// A look-up answered in the calling thread: the reply is queued before the handle is returned.
HANDLE AnswerNow(HWND hWnd, u_int wMsg, LPARAM reply) {
    uint16_t task = taskIds.Take();
    if (!task) {
        SetStackError(WSAENOBUFS);
        return nullptr;
    }
    PostMessageA(hWnd, wMsg, task, reply);
    taskIds.Give(task);
    return (HANDLE)(UINT_PTR)task;
}

// One asynchronous host look-up, owned by its worker thread.
struct HostRequest {
    uint16_t task;
    HWND window;
    u_int message;
    char name[256];
    uint32_t address;
    int addressLength;
    int addressType;
    char* buffer;
    int bufferLength;
    bool byName;
    HMODULE held;  // this library, held while the worker runs
};

DWORD WINAPI HostWorker(void* p) {
    HostRequest* r = static_cast<HostRequest*>(p);
    LPARAM reply;
    if (r->byName) {
        uint32_t address = HostAddressOf(r->name);
        reply = Reply(address != 0, r->buffer, r->bufferLength, [&](char* b, int* len) {
            return records::BuildHostent(b, len, NativeForm(b), r->name, address, ws11::AF_INET, 4);
        });
    } else {
        const char* name = HostNameOf(r->address);
        reply = Reply(name != nullptr, r->buffer, r->bufferLength, [&](char* b, int* len) {
            return records::BuildHostent(b, len, NativeForm(b), name, r->address, ws11::AF_INET, 4);
        });
    }
    PostMessageA(r->window, r->message, r->task, reply);
    taskIds.Give(r->task);
    delete r;
    return 0;
}

// The worker holds the library while it runs, so an unload cannot pull its code away.
DWORD WINAPI HostWorkerHolding(void* p) {
    HMODULE held = static_cast<HostRequest*>(p)->held;
    HostWorker(p);
    FreeLibraryAndExitThread(held, 0);
    return 0;
}

// Starts a worker on the request; its handle is closed at once, the task id is the handle.
HANDLE StartHostWorker(HostRequest* r) {
    uint16_t task = taskIds.Take();  // kept here: once started, the worker owns and frees the request
    r->task = task;
    r->held = nullptr;
    if (task) GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCSTR)&HostWorker, &r->held);
    HMODULE held = r->held;
    HANDLE thread = task && held ? CreateThread(nullptr, 8192, HostWorkerHolding, r, 0, nullptr) : nullptr;
    if (!thread) {
        if (held) FreeLibrary(held);
        if (task) taskIds.Give(task);
        delete r;
        SetStackError(WSAENOBUFS);
        return nullptr;
    }
    CloseHandle(thread);
    return (HANDLE)(UINT_PTR)task;
}

HostRequest* NewHostRequest(HWND hWnd, u_int wMsg, char* buf, int buflen) {
    HostRequest* r = new (std::nothrow) HostRequest();
    if (!r) return nullptr;
    r->window = hWnd;
    r->message = wMsg;
    r->buffer = buf;
    r->bufferLength = buflen;
    return r;
}

}  // namespace

extern "C" {

hostent* WINAPI gethostbyname(const char* name) {
    if (!Named(name)) return nullptr;
    uint32_t address = HostAddressOf(name);
    return address ? HostRecord(name, address) : nullptr;
}

// Only IPv4 addresses are known: a shorter address is refused rather than
// read past, and the record says 4 whatever length was given.
hostent* WINAPI gethostbyaddr(const char* addr, int len, int type) {
    if (!addr || len < 4) {
        SetStackError(WSAEFAULT);
        return nullptr;
    }
    uint32_t address;
    memcpy(&address, addr, 4);
    const char* name = HostNameOf(address);
    if (!name) return nullptr;
    return static_cast<hostent*>(InThreadBuffer(
        [&](char* b, int* l) { return records::BuildHostent(b, l, NativeForm(b), name, address, type, 4); }));
}

protoent* WINAPI getprotobyname(const char* name) {
    if (!Named(name)) return nullptr;
    int number = ProtoNumberOf(name);
    if (!number) return nullptr;
    return static_cast<protoent*>(
        InThreadBuffer([&](char* b, int* l) { return records::BuildProtoent(b, l, NativeForm(b), name, number); }));
}

protoent* WINAPI getprotobynumber(int number) {
    const char* name = ProtoNameOf(number);
    if (!name) return nullptr;
    return static_cast<protoent*>(
        InThreadBuffer([&](char* b, int* l) { return records::BuildProtoent(b, l, NativeForm(b), name, number); }));
}

servent* WINAPI getservbyname(const char* name, const char* proto) {
    if (!Named(name)) return nullptr;
    int port = ServPortOf(name, proto);
    if (!port) return nullptr;
    return static_cast<servent*>(InThreadBuffer([&](char* b, int* l) {
        return records::BuildServent(b, l, NativeForm(b), name, proto ? proto : NoProto, port);
    }));
}

servent* WINAPI getservbyport(int port, const char* proto) {
    const char* name = ServNameOf(port, proto);
    if (!name) return nullptr;
    return static_cast<servent*>(InThreadBuffer([&](char* b, int* l) {
        return records::BuildServent(b, l, NativeForm(b), name, proto ? proto : NoProto, port);
    }));
}

// A name the request cannot hold is refused: it would overrun the name field.
HANDLE WINAPI WSAAsyncGetHostByName(HWND hWnd, u_int wMsg, const char* name, char* buf, int buflen) {
    if (!Named(name)) return nullptr;
    if (strlen(name) >= sizeof(HostRequest::name)) {
        SetStackError(WSAEINVAL);
        return nullptr;
    }
    HostRequest* r = NewHostRequest(hWnd, wMsg, buf, buflen);
    if (!r) {
        SetStackError(WSAENOBUFS);
        return nullptr;
    }
    strcpy(r->name, name);
    r->byName = true;
    return StartHostWorker(r);
}

HANDLE WINAPI WSAAsyncGetHostByAddr(HWND hWnd, u_int wMsg, const char* addr, int len, int type, char* buf, int buflen) {
    if (!addr || len < 4) {
        SetStackError(WSAEFAULT);
        return nullptr;
    }
    HostRequest* r = NewHostRequest(hWnd, wMsg, buf, buflen);
    if (!r) {
        SetStackError(WSAENOBUFS);
        return nullptr;
    }
    memcpy(&r->address, addr, 4);
    r->addressLength = len;
    r->addressType = type;
    r->byName = false;
    return StartHostWorker(r);
}

HANDLE WINAPI WSAAsyncGetServByName(HWND hWnd, u_int wMsg, const char* name, const char* proto, char* buf, int buflen) {
    if (!Named(name)) return nullptr;
    int port = ServPortOf(name, proto);
    LPARAM reply = Reply(port != 0, buf, buflen, [&](char* b, int* l) {
        return records::BuildServent(b, l, NativeForm(b), name, proto ? proto : NoProto, port);
    });
    return AnswerNow(hWnd, wMsg, reply);
}

HANDLE WINAPI WSAAsyncGetServByPort(HWND hWnd, u_int wMsg, int port, const char* proto, char* buf, int buflen) {
    const char* name = ServNameOf(port, proto);
    LPARAM reply = Reply(name != nullptr, buf, buflen, [&](char* b, int* l) {
        return records::BuildServent(b, l, NativeForm(b), name, proto ? proto : NoProto, port);
    });
    return AnswerNow(hWnd, wMsg, reply);
}

HANDLE WINAPI WSAAsyncGetProtoByName(HWND hWnd, u_int wMsg, const char* name, char* buf, int buflen) {
    if (!Named(name)) return nullptr;
    int number = ProtoNumberOf(name);
    LPARAM reply = Reply(number != 0, buf, buflen,
                         [&](char* b, int* l) { return records::BuildProtoent(b, l, NativeForm(b), name, number); });
    return AnswerNow(hWnd, wMsg, reply);
}

HANDLE WINAPI WSAAsyncGetProtoByNumber(HWND hWnd, u_int wMsg, int number, char* buf, int buflen) {
    const char* name = ProtoNameOf(number);
    LPARAM reply = Reply(name != nullptr, buf, buflen,
                         [&](char* b, int* l) { return records::BuildProtoent(b, l, NativeForm(b), name, number); });
    return AnswerNow(hWnd, wMsg, reply);
}

// Nothing can be cancelled: every look-up answers.
int WINAPI WSACancelAsyncRequest(HANDLE) { return 0; }

}  // extern "C"
