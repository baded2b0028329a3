#pragma once
// The request monitor of every line service: frames a client's input into
// command lines while no host is open, strips Telnet negotiation from them,
// reads the gateway's OPEN/CONNECT commands, and relays paired connections
// both ways, holding a side while more than two buffers wait on the other.
#include "QvWindows.h"
#include "LookupTable.h"
#include "TcpReqMonitor.h"

class TELCONNECTION;

// OPEN (from O) and CONNECT (from CONN) = 1; ended by a row whose valid is 0.
extern LOOKUPROW _TelnetCommands[];

// "\r\nInvalid Address or Command.\r\n"
extern const char TEL_INVALID_COMMAND[];

class TELREQMONITOR : public TCPREQMONITOR {
public:
    TELREQMONITOR(LINKCONTROL& control, IOMODE mode) : TCPREQMONITOR(control, mode) {}
    ~TELREQMONITOR() override {}

    QV_ITEM_IDENTITY(TELREQMONITOR, "TELREQMONITOR", "TRMN")

    DATACONNECTION* CreateConnection(DATACONNECTION* listener, BBOOL recordParent, BBOOL internal) override;
    DATAREQUEST* buildRequest(IOBUFFER* buffer, DATACONNECTION* from) override;
    DATARESULT* buildResult(IOBUFFER* buffer, DATACONNECTION* from) override;
    BBOOL evaluateRequest(DATAREQUEST* request) override;
    BBOOL evaluateResult(DATARESULT* result) override;
    BBOOL sendRequest(DATAREQUEST* request, DATACONNECTION* to) override;
    BBOOL sendResult(DATARESULT* result, DATACONNECTION* to) override;
    REQUESTMONITOR* createSecondaryMonitor(IOMODE mode, DATACONNECTION* connection) override;

    // Removes Telnet commands from text in place (state kept in c across reads);
    // returns the new length. Nothing is ever answered.
    static int scanNegotiation(TELCONNECTION* c, char* text, int length);
    // Stream handler (link threads): a buffer is complete at a line end in command mode, always in relay mode.
    static BBOOL MessageMonitor(COMMLINK* link, IOBUFFER* buffer);
    // Send-drained hook (link threads): resumes a peer held by the flow control.
    static void SendQueueMonitor(COMMLINK* link);

    // More buffers than this waiting on a side hold its peer's receiving.
    static const long FlowLimit = 2;

protected:
    // The bytes after a framed line go to the link's next message buffer, to
    // be framed again there; the buffer ends at lineEnd.
    static void CarryRest(COMMLINK* link, TELCONNECTION* c, IOBUFFER* buffer, char* lineEnd, char* end);

private:
    DATAREQUEST* readCommand(TELCONNECTION* c, IOBUFFER* buffer);
    void invalidCommand(TELCONNECTION* c);
};
