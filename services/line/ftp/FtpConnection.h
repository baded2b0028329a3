#pragma once
// The FTP service's connection: a control connection (client or server side)
// with its current data connection, or a data connection with its control.
#include "QvWindows.h"
#include "TelConnection.h"

class LINKINTERFACE;
class DATAREQUEST;

class FTPCONNECTION : public TELCONNECTION {
public:
    FTPCONNECTION(APPDEFINITION* definition, LINKCONTROL& control, const char* host, const char* port,
                  const char* linkType);
    // Made like other (a listener or an instance's prototype); isData makes a relaying data connection.
    FTPCONNECTION(const FTPCONNECTION& other, BBOOL recordParent, BBOOL internal, BBOOL isData);
    ~FTPCONNECTION() override;  // gives back a data command still waiting

    QV_ITEM_IDENTITY(FTPCONNECTION, "FTPCONNECTION", "ftCN")

    long GetResultCount() override;

    // Control and data link: the control holds a reference on its data connection,
    // the data connection points back without one. Any thread; under the data lock.
    static void LinkData(FTPCONNECTION* control, FTPCONNECTION* data);
    // On a control connection: its data connection with a reference the caller releases, or null.
    FTPCONNECTION* AcquireData();
    // On a data connection: its control connection with a reference, or null.
    FTPCONNECTION* AcquireControl();
    // On a control connection: unlinks its data connection and drops it (after
    // what its link holds unless abort); its held interface is released.
    void DropData(BBOOL abort);
    // On a data connection: leaves its control connection (if still its data connection).
    void LeaveControl();

    // Holds (or releases) the interface of this connection's link busy, so a
    // held connection is no load and a dial-up line is not hung up as idle.
    void IdleInterface(BBOOL hold);

    BBOOL isData;
    BBOOL retrieval;      // made by an ftp:// retrieval: no LAN client behind it
    // Retrieval server control: the retrieval it serves, with a reference; set
    // and cleared by the retrieval under its event lock.
    class FTPGETREQUEST* getRequest;
    BBOOL transferActive; // retrieval server control: LIST or RETR running (worker)
    BBOOL dataConnected;  // a data connection that reached state 2

    // Client control connection: the client's last PORT, not yet used (worker thread).
    char portHost[16];
    unsigned short portNumber;
    BBOOL portPending;

    // Server control connection: the USER line that waits for the server's "220".
    // Set before connecting; read and cleared by the outbound monitor.
    char loginLine[320];
    volatile BBOOL loginPending;
    BBOOL discardingReply;  // the rest of a swallowed reply (more pieces) goes too

    // Reply framing of a server control connection (link thread).
    BBOOL inMultiLine;
    long lineStartCount;
    char lineStart[5];
    char multiLineEnd[5];

    // Client data connection: the data command forwarded once it has connected.
    DATAREQUEST* pendingCommand;

private:
    // Guards every connection's dataPartner; held only briefly.
    static CRITICAL_SECTION& DataLock();
    FTPCONNECTION* dataPartner;  // control: its data connection (counted); data: its control
    BBOOL interfaceHeld;
    LINKINTERFACE* heldInterface;
};
