#include "ThunkBridge.h"

namespace thunk {

namespace {

// Image bytes: a 16-bit value 2, a 32-bit value or 16:16 pointer 4.
const EntryShape Shapes[EntryCount] = {
    {"__WSAFDIsSet", 6, 8},   {"WSAAsyncSelect", 10, 0},      {"WSACancelBlockingCall", 0, 0},
    {"WSASetBlockingHook", 4, 0}, {"WSAUnhookBlockingHook", 0, 0}, {"WSAIsBlocking", 0, 0},
    {"WSAGetLastError", 0, 0}, {"WSASetLastError", 2, 0},     {"WSACleanup", 0, 0},
    {"WSAStartup", 6, 8},     {"protocol number", 4, 0},      {"protocol name", 2, 0},
    {"service port", 8, 0},   {"service name", 6, 0},         {"gethostname", 6, 0},
    {"host address", 4, 0},   {"host name", 4, 0},            {"socket", 6, 0},
    {"shutdown", 4, 0},       {"setsockopt", 12, 0},          {"sendto", 16, 0},
    {"send", 10, 0},          {"select", 18, 20},             {"recvfrom", 18, 24},
    {"recv", 10, 0},          {"ntohs", 2, 0},                {"ntohl", 4, 0},
    {"listen", 4, 0},         {"inet_ntoa", 4, 0},            {"inet_addr", 4, 0},
    {"htons", 2, 0},          {"htonl", 4, 0},                {"getsockopt", 14, 20},
    {"getsockname", 10, 12},  {"getpeername", 10, 12},        {"ioctlsocket", 10, 0},
    {"connect", 8, 0},        {"closesocket", 2, 0},          {"bind", 8, 0},
    {"accept", 10, 12},
};

const EntryShape NoShape = {"(none)", 0xFF, 0};

}  // namespace

const EntryShape& ShapeOf(unsigned entry) { return entry < EntryCount ? Shapes[entry] : NoShape; }

}  // namespace thunk
