#pragma once
// A dial-up line: a TCP interface named after a phonebook entry, dialed
// through remote access (or, as a secondary line, through a socket stack
// that dials by itself), followed through the remote-access callback and
// recorded in the Current Connection key. Also the list of lines kept in
// step with the configured entries, and the default route towards them.
#include "RemoteAccess.h"
#include "TcpInterface.h"
#include "TcpControl.h"

class WINSOCKCONTROL;

// Line status values (LINKINTERFACE::state) the dialer sets.
enum LINESTATUS {
    LINE_OPENING = 1,
    LINE_CLOSED = 2,
    LINE_DROPPED = 3,
    LINE_DIALING = 4,
    LINE_NEGOTIATING = 5,  // the remote-access phase ended for the socket stack's
    LINE_DEVICE_CONNECTED = 6,
    LINE_AUTHENTICATING = 7,
    LINE_AUTHENTICATED = 8,
    LINE_CONNECTED = 9,
    LINE_STACK_OPENING = 10,
    LINE_DISCONNECTING = 11,
    LINE_CANCELLED = 12,
    LINE_UNABLE = 13,
    LINE_RAS_ERROR = 14,  // status text: the system's text of the error
    LINE_BUSY = 15,
    LINE_NOT_INSTALLED = 16,  // status text: one of the reasons below
    LINE_RAS_ERROR_NUMBER = 17  // status text: the error number
};

// Texts of LINE_NOT_INSTALLED.
extern const char LineReasonNoRemoteAccess[];  // "1"
extern const char LineReasonNoProfile[];       // "2"
extern const char LineReasonNoCopy[];          // "3"

// HKLM key of the connection being dialed; written only when it exists.
extern const char CurrentConnectionKey[];

class WINSOCKINTERFACE : public TCPINTERFACE {
public:
    explicit WINSOCKINTERFACE(const char* name);
    ~WINSOCKINTERFACE() override;  // ends a counted dial as failed

    // Attaches the line to a control (null detaches). Line-policy threads.
    void SetControl(WINSOCKCONTROL* control, BBOOL secondary);
    WINSOCKCONTROL* Control() const { return static_cast<WINSOCKCONTROL*>(serviceControl); }

    // Starts a dial; TRUE while one is under way. Line-policy threads.
    BBOOL Connect(BBOOL notify) override;
    // Hangs up; arg goes on to the interface's own disconnect. Line-policy threads.
    void Disconnect(BBOOL wait, BBOOL arg) override;
    BBOOL CheckInterfaceStatus(BBOOL notify) override;
    void DisableRouting() override;
    void EnableRouting() override;
    void SendKeepAlive() override {}

    // Refreshes the line from a remote-access state (asked for when not given).
    BBOOL getInterfaceStatus(DWORD state, BBOOL given, BBOOL notify);
    // Ends a counted dial once ("Status" written once); on success starts the accounting.
    void endRASDialing(BBOOL success);
    void notifyRASError();
    // A notification of the remote-access callback for this line.
    void rasNotice(DWORD state, DWORD error, DWORD extendedError);
    // Calls the console's notifier when one is installed.
    void Notify(const char* text);

    // Lines for the names (the chain's lock held by the caller); the connected ones counted.
    static int getRASInterfaces(const char* names);
    // Phonebook names, each NUL-ended, then a NUL; delete[] by the caller; null when none.
    static char* GetConnectionList();
    static BBOOL AddConnectionEntry(HWND parent);
    static BBOOL EditConnectionEntry(HWND parent, const char* name);
    static WINSOCKINTERFACE* findDefaultInterface();

    // Ends every counted dial that has heard nothing for DialSilenceSeconds:
    // hung up, failed with LINE_UNABLE. Takes the chain's lock.
    static void ExpireSilentDials();
    BBOOL expireIfSilent();

    BBOOL dialCounted;   // counted in RasDialCount; "Status" still "Dialing"; under _RasDialLock
    BBOOL twoPhase;      // a secondary line dialing remote access first, then its socket stack
    BBOOL secondPhase;   // the next Connect dials through the socket stack
    BBOOL optionsRestored;       // the entry's gateway option was changed by us
    BBOOL remoteDefaultGateway;  // the entry routes the default traffic itself
    BBOOL routeAdded;            // our default route points at this line
    volatile ras::Handle rasHandle;  // written by RasDialA before any callback
    DWORD connectionState;       // the last remote-access state seen
    DWORD lastError;
    DWORD lastExtendedError;
    DWORD dialArgument;          // passed to the stack's extensions; always 0
    unsigned char portRecord[20];  // filled by the conversion function
    ras::DialParams dialParams;
    volatile unsigned long lastNotice;  // when the counted dial last heard something (TIMESTAMP seconds)

    // Dials counted now; changed with interlocked calls.
    static volatile LONG RasDialCount;
    // A counted dial that hears nothing this long is given up.
    static const unsigned long DialSilenceSeconds = 120;
    // Longest wait for remote access to drop a hung-up connection.
    static const DWORD HangUpWaitMs = 5000;

private:
    static void adjustEntryOptions();
    static int attachConnections();
    BBOOL connectSecondary(BBOOL notify, const char** reason);
    BBOOL dialRemoteAccess(BBOOL notify);
    void hangUpHandle(BBOOL wait);
    void writeConnection();
};

// The remote-access notification callback (any remote-access thread).
void WINAPI WinSockRasDialFunc(ras::Handle conn, UINT message, DWORD state, DWORD error, DWORD extendedError);

// Saved default gateway and its metric (empty / "1" when none is saved); line-policy threads.
extern char _DefaultGateway[256];
extern char _DefaultMetric[17];
