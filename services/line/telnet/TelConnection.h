#pragma once
// The connection of every line service: command or relay mode, line ends,
// the paired peer and the state of Telnet command stripping.
#include "QvWindows.h"
#include "TcpConnection.h"

class TELCONNECTION : public TCPCONNECTION {
public:
    TELCONNECTION(APPDEFINITION* definition, LINKCONTROL& control, const char* host, const char* port,
                  const char* linkType);
    // An accepted client from its listener, or an outbound connection from an
    // instance's prototype: mode and line ends are copied, pairing starts empty.
    TELCONNECTION(const TELCONNECTION& other, BBOOL recordParent, BBOOL internal);
    ~TELCONNECTION() override;  // lets go of its peer

    QV_ITEM_IDENTITY(TELCONNECTION, "TELCONNECTION", "TTCN")

    // Queues text (and the prompt when the service's "Connect Banner" is on) for
    // this connection; FALSE, with a drop asked for, when no buffer was to be had.
    BBOOL SendResponse(const char* text, BBOOL prompt);

    // Pairing: a and b point at each other, each holding a reference on the other.
    // FALSE, pairing nothing, when either side has left (see Leave).
    static BBOOL Pair(TELCONNECTION* a, TELCONNECTION* b);
    // Ends this connection's pairing on both sides; returns the former peer with
    // a reference the caller releases, or null when it was not paired.
    TELCONNECTION* Unpair();
    // Unpair for a connection that has closed: no later Pair takes it, so an open
    // still on its way cannot leave a host connected to nobody.
    TELCONNECTION* Leave();
    // The peer with a reference the caller releases, or null.
    TELCONNECTION* AcquirePeer();
    BBOOL IsPaired();

    volatile BBOOL relayMode;  // 0: input is framed into gateway commands; 1: passed to the peer
    BBOOL fixedRelay;          // relay for its whole life
    volatile BBOOL connected;  // reached state 2
    char lineTerminator;       // LF unless set
    char secondTerminator;     // belongs to the line end right after the terminator; 0 = none
    BBOOL stripTerminator;     // the terminator becomes a zero byte before the line is read
    unsigned char pendingCommand;  // Telnet command stripping, across reads (monitor thread)
    long negotiationState;         // 0 data, 1 after IAC, 2 after an option command
    BBOOL afterCR;      // the last line ended at a CR that was the buffer's last byte (link thread)
    BBOOL discarding;   // a line overflowed its buffer: the rest up to its end goes (monitor thread)
    BBOOL markerRelayed;  // this side's end of stream went to the peer as a marker

private:
    // Guards every connection's peer field and paired flag; held only briefly.
    static CRITICAL_SECTION& PairLock();
    TELCONNECTION* peer;
    BBOOL paired;
    BBOOL left;  // set once by Leave, under the pair lock
    TELCONNECTION* Unpair(BBOOL leaving);
};
