#include "ThunkBridge.h"

namespace thunk {

namespace {

// Image bytes: a 16-bit value 2, a 32-bit value or 16:16 pointer 4.
const EntryShape Shapes[EntryCount] = {
    {"__WSAFDIsSet", 6, 8},           // 0
    {"WSAAsyncSelect", 10, 0},        // 1
    {"WSACancelBlockingCall", 0, 0},  // 2
    {"WSASetBlockingHook", 4, 0},     // 3
    {"WSAUnhookBlockingHook", 0, 0},  // 4
    {"WSAIsBlocking", 0, 0},          // 5
    {"WSAGetLastError", 0, 0},        // 6
    {"WSASetLastError", 2, 0},        // 7
    {"WSACleanup", 0, 0},             // 8
    {"WSAStartup", 6, 8},             // 9
    {"protocol number", 4, 0},        // 10
    {"protocol name", 2, 0},          // 11
    {"service port", 8, 0},           // 12
    {"service name", 6, 0},           // 13
    {"gethostname", 6, 0},            // 14
    {"host address", 4, 0},           // 15
    {"host name", 4, 0},              // 16
    {"socket", 6, 0},                 // 17
    {"shutdown", 4, 0},               // 18
    {"setsockopt", 12, 0},            // 19
    {"sendto", 16, 0},                // 20
    {"send", 10, 0},                  // 21
    {"select", 18, 20},               // 22
    {"recvfrom", 18, 24},             // 23
    {"recv", 10, 0},                  // 24
    {"ntohs", 2, 0},                  // 25
    {"ntohl", 4, 0},                  // 26
    {"listen", 4, 0},                 // 27
    {"inet_ntoa", 4, 0},              // 28
    {"inet_addr", 4, 0},              // 29
    {"htons", 2, 0},                  // 30
    {"htonl", 4, 0},                  // 31
    {"getsockopt", 14, 20},           // 32
    {"getsockname", 10, 12},          // 33
    {"getpeername", 10, 12},          // 34
    {"ioctlsocket", 10, 0},           // 35
    {"connect", 8, 0},                // 36
    {"closesocket", 2, 0},            // 37
    {"bind", 8, 0},                   // 38
    {"accept", 10, 12},               // 39
};

const EntryShape NoShape = {"(none)", 0xFF, 0};

}  // namespace

const EntryShape& ShapeOf(unsigned entry) { return entry < EntryCount ? Shapes[entry] : NoShape; }

}  // namespace thunk
