#pragma once
// The remote-access records, codes and entry-point types in the older sizes
// that the dialer relies on and the remote-access stand-ins answer with.
// Newer platform headers declare larger layouts; these are the ones passed
// across the remote-access entries, so every field is fixed-width and a
// connection handle inside a record is a 32-bit field in both builds
// (handle values are small numbers, widened when handed out as a HANDLE).
#include "QvWindows.h"

#include <cstddef>
#include <cstdint>

namespace ras {

using Handle = HANDLE;  // a connection handle as the calls take and return it

// The 32-bit form a handle has inside a record.
inline uint32_t HandleField(Handle h) { return static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(h)); }
inline Handle HandleFromField(uint32_t v) { return reinterpret_cast<Handle>(static_cast<ULONG_PTR>(v)); }

const size_t kEntryNameSize = 257;
const size_t kPhoneSize = 129;
const size_t kUserSize = 257;
const size_t kPasswordSize = 257;
const size_t kDomainSize = 16;
const size_t kDeviceTypeSize = 17;
const size_t kDeviceNameSize = 129;
const size_t kIpAddressSize = 16;

#pragma pack(push, 4)

struct DialParams {
    uint32_t size;  // kDialParamsSize
    char entryName[kEntryNameSize];
    char phoneNumber[kPhoneSize];
    char callbackNumber[kPhoneSize];
    char userName[kUserSize];
    char password[kPasswordSize];
    char domain[kDomainSize];
};

struct Connection {
    uint32_t size;  // kConnectionSize
    uint32_t handle;
    char entryName[kEntryNameSize];
    char deviceType[kDeviceTypeSize];
    char deviceName[kDeviceNameSize];
};

struct EntryName {
    uint32_t size;  // kEntryNameRecordSize
    char entryName[kEntryNameSize];
};

struct ConnectStatus {
    uint32_t size;  // kConnectStatusSize
    uint32_t state;
    uint32_t error;
    char deviceType[kDeviceTypeSize];
    char deviceName[kDeviceNameSize];
};

struct PppIp {
    uint32_t size;  // kPppIpSize
    uint32_t error;
    char address[kIpAddressSize];
    char serverAddress[kIpAddressSize];
};

// The phonebook entry. Only the leading fields are named; the older entry
// ends at kEntrySizeOld, the newer one adds the sub-entry count and the
// multilink settings up to kEntrySize.
struct Entry {
    uint32_t size;
    uint32_t options;  // kOption... bits
    uint32_t countryId;
    uint32_t countryCode;
    char areaCode[11];
    char localPhoneNumber[kPhoneSize];
    unsigned char middle[1768 - 156];
    uint32_t subEntries;  // only in entries of kEntrySize bytes
    uint32_t multilink[6];
};

// What a device port query answers: the connected device's port handle, its
// telephony line, call and address (handles as 32-bit fields), the speed and
// the device type ("COM" for a modem on a serial port).
struct DevicePort {
    uint32_t size;  // kDevicePortSize
    uint32_t port;
    uint32_t line;
    uint32_t call;
    uint32_t addressId;
    uint32_t speed;  // bits per second
    char deviceType[44 - 24];
};

// What Dial-Up Networking hands a session module's start: the entry being
// connected, and a field whose value 1 says the session needs no port.
struct SessionInfo {
    uint32_t size;  // kSessionInfoSize
    char entryName[kEntryNameSize];
    unsigned char pad[3];
    uint32_t noPort;
    unsigned char rest[812 - 268];
};

// Completion of a session as a session module reports it.
struct Completion {
    uint32_t size;  // kCompletionSize
    uint32_t error;
    uint32_t reserved[3];
};

// The telephony layer's variable-length answer: this header, then the data
// (for "comm/datamodem": the port handle as a 32-bit field, then its name).
struct VarString {
    uint32_t totalSize;
    uint32_t neededSize;
    uint32_t usedSize;
    uint32_t stringFormat;
    uint32_t stringSize;
    uint32_t stringOffset;
};

#pragma pack(pop)

const uint32_t kDialParamsSize = 1052;
const uint32_t kConnectionSize = 412;
const uint32_t kEntryNameRecordSize = 264;
const uint32_t kConnectStatusSize = 160;
const uint32_t kPppIpSize = 40;
const uint32_t kEntrySizeOld = 1768;  // Windows 95
const uint32_t kEntrySize = 1796;
const uint32_t kDevicePortSize = 44;
const uint32_t kSessionInfoSize = 812;
const uint32_t kCompletionSize = 20;
const uint32_t kVarStringSize = 24;
const uint32_t kSessionTableSize = 12;  // the platform's table: a size and two 32-bit entry points

static_assert(sizeof(DialParams) == kDialParamsSize, "dial parameters");
static_assert(sizeof(Connection) == kConnectionSize && offsetof(Connection, entryName) == 8, "connection");
static_assert(sizeof(EntryName) == kEntryNameRecordSize, "entry name");
static_assert(sizeof(ConnectStatus) == kConnectStatusSize && offsetof(ConnectStatus, state) == 4 &&
                  offsetof(ConnectStatus, error) == 8,
              "connect status");
static_assert(sizeof(PppIp) == kPppIpSize && offsetof(PppIp, address) == 8, "PPP IP projection");
static_assert(sizeof(Entry) == kEntrySize && offsetof(Entry, options) == 4 &&
                  offsetof(Entry, localPhoneNumber) == 27 && offsetof(Entry, subEntries) == kEntrySizeOld,
              "phonebook entry");
static_assert(sizeof(DevicePort) == kDevicePortSize && offsetof(DevicePort, speed) == 20 &&
                  offsetof(DevicePort, port) == 4 && offsetof(DevicePort, addressId) == 16 &&
                  offsetof(DevicePort, deviceType) == 24,
              "device port");
static_assert(sizeof(SessionInfo) == kSessionInfoSize && offsetof(SessionInfo, entryName) == 4 &&
                  offsetof(SessionInfo, noPort) == 264,
              "session information");
static_assert(sizeof(Completion) == kCompletionSize, "completion");
static_assert(sizeof(VarString) == kVarStringSize, "variable string");

// Entry option bits.
const uint32_t kOptionRemoteDefaultGateway = 0x10;
const uint32_t kOptionDisableLcpExtensions = 0x20;
const uint32_t kOptionTerminalAfterDial = 0x80;
// The login script's name (char[260]) inside an entry's unnamed middle.
const size_t kEntryScriptOffset = 192;
const size_t kEntryScriptSize = 260;

// Connection states.
const uint32_t kStateOpenPort = 0;
const uint32_t kStateConnectDevice = 2;
const uint32_t kStateDeviceConnected = 3;
const uint32_t kStateAuthenticate = 5;
const uint32_t kStateAuthenticated = 14;
const uint32_t kStateConnected = 0x2000;
const uint32_t kStateDisconnected = 0x2001;

// Results and errors.
const uint32_t kErrorInvalidHandle = 6;
const uint32_t kErrorInvalidParameter = 87;
const uint32_t kErrorBufferTooSmall = 603;
const uint32_t kErrorCannotOpenPhonebook = 621;
const uint32_t kErrorCannotFindEntry = 623;
const uint32_t kErrorDisconnected = 629;
const uint32_t kErrorInvalidSize = 632;
const uint32_t kErrorNoAnswer = 678;
const uint32_t kErrorProjectionNotComplete = 730;
const uint32_t kErrorProtocolNotConfigured = 731;
const uint32_t kErrorSessionRecorded = 1003;  // the session module ends a recorded session with it
const uint32_t kErrorPortNotAvailable = 1200;
const uint32_t kErrorNoCarrier = 668;

const UINT kDialEventMessage = 0xCCCD;      // the message argument of every notification
const DWORD kNotifierFunc1 = 1;             // RasDialA notifier type of DialFunc1
const int kProjectionPppIp = 0x8021;

// The entry points, as they are bound by name.
typedef void(WINAPI* DialFunc1)(Handle conn, UINT message, DWORD state, DWORD error, DWORD extendedError);
typedef DWORD(WINAPI* RasDialFn)(void* extensions, const char* phonebook, DialParams* params, DWORD notifierType,
                                 void* notifier, Handle* conn);
typedef DWORD(WINAPI* RasHangUpFn)(Handle conn);
typedef DWORD(WINAPI* RasGetConnectStatusFn)(Handle conn, ConnectStatus* status);
typedef DWORD(WINAPI* RasEnumConnectionsFn)(Connection* records, DWORD* bytes, DWORD* count);
typedef DWORD(WINAPI* RasEnumEntriesFn)(const char* reserved, const char* phonebook, EntryName* records, DWORD* bytes,
                                        DWORD* count);
typedef DWORD(WINAPI* RasGetEntryDialParamsFn)(const char* phonebook, DialParams* params, BOOL* passwordSaved);
typedef DWORD(WINAPI* RasSetEntryDialParamsFn)(const char* phonebook, DialParams* params, BOOL removePassword);
typedef DWORD(WINAPI* RasGetErrorStringFn)(UINT error, char* text, DWORD size);
typedef DWORD(WINAPI* RasGetProjectionInfoFn)(Handle conn, int projection, void* record, DWORD* bytes);
typedef DWORD(WINAPI* RasCreatePhonebookEntryFn)(HWND parent, const char* phonebook);
typedef DWORD(WINAPI* RasEditPhonebookEntryFn)(HWND parent, const char* phonebook, const char* entry);
typedef DWORD(WINAPI* RasGetEntryPropertiesFn)(const char* phonebook, const char* entry, void* record, DWORD* bytes,
                                               BYTE* deviceInfo, DWORD* deviceInfoBytes);
typedef DWORD(WINAPI* RasSetEntryPropertiesFn)(const char* phonebook, const char* entry, void* record, DWORD bytes,
                                               BYTE* deviceInfo, DWORD deviceInfoBytes);
typedef DWORD(WINAPI* RnaGetDevicePortFn)(Handle conn, DevicePort* record);

// The session-module interface: the module's initialisation fills the
// table with its start and stop; the host's completion and termination
// calls are bound from the remote-access library by name. The size field
// holds kSessionTableSize in both builds (64-bit entry points make the
// record itself larger there).
typedef DWORD(WINAPI* SessStartFn)(Handle conn, SessionInfo* info);
typedef DWORD(WINAPI* SessStopFn)(Handle conn);
#pragma pack(push, 4)
struct SessionTable {
    uint32_t size;
    SessStartFn start;
    SessStopFn stop;
};
#pragma pack(pop)
typedef DWORD(WINAPI* RnaSessInitializeFn)(char* protocol, SessionTable* table);
typedef DWORD(WINAPI* RnaSessGetErrorStringFn)(UINT error, char* text, DWORD size);
typedef DWORD(WINAPI* RunRnaScriptFn)(Handle conn, SessionInfo* info);
typedef DWORD(WINAPI* RnaCompleteFn)(Handle conn, Completion* completion);
typedef DWORD(WINAPI* RnaTerminateFn)(Handle conn, HANDLE thread);

// The telephony calls a session module takes a modem port with.
const DWORD kLineCallSelectLine = 1;
const char kDataModemClass[] = "comm/datamodem";
typedef LONG(WINAPI* LineGetIdFn)(DWORD line, DWORD addressId, DWORD call, DWORD select, VarString* id,
                                  const char* deviceClass);
typedef LONG(WINAPI* LineDropFn)(DWORD call, const char* userUserInfo, DWORD size);

// A socket stack's dialer extensions: one 32-bit argument, an int result.
typedef int(WINAPI* DialerExtensionFn)(DWORD arg);

}  // namespace ras
