#pragma once
// The FTP proxy's request monitor: frames control connections on LF (a
// server's multi-line reply as one message), reads the commands the gateway
// handles itself, swallows a server's greeting before the gateway's own
// login, relays data connections unchanged, and hands the replies and data
// of an ftp:// retrieval, which have no client, to the retrieval.
#include "QvWindows.h"
#include "TelReqMonitor.h"

class FTPCONNECTION;

class FTPREQMONITOR : public TELREQMONITOR {
public:
    FTPREQMONITOR(LINKCONTROL& control, IOMODE mode) : TELREQMONITOR(control, mode) {}
    ~FTPREQMONITOR() override {}

    QV_ITEM_IDENTITY(FTPREQMONITOR, "FTPREQMONITOR", "ftRM")

    DATACONNECTION* CreateConnection(DATACONNECTION* listener, BBOOL recordParent, BBOOL internal) override;
    DATAREQUEST* buildRequest(IOBUFFER* buffer, DATACONNECTION* from) override;
    DATARESULT* buildResult(IOBUFFER* buffer, DATACONNECTION* from) override;
    REQUESTMONITOR* createSecondaryMonitor(IOMODE mode, DATACONNECTION* connection) override;
    // A retrieval's data connection ends through its close, not through an end-of-stream marker.
    BBOOL evaluateResult(DATARESULT* result) override;
    // A retrieval's reply or data (monitor thread); FALSE drops its connection.
    BBOOL internalResult(DATARESULT* result) override;

    // Stream handler (link threads): a control connection's message ends at LF,
    // a server's multi-line reply at its last line; data passes as it comes.
    static BBOOL MessageMonitor(COMMLINK* link, IOBUFFER* buffer);
    // Frames the new bytes of one control connection; the length of the
    // message (through its terminator) when one is complete, else 0.
    static long FrameLine(FTPCONNECTION* c, const char* from, const char* end, long offset);

private:
    DATAREQUEST* readCommand(FTPCONNECTION* c, IOBUFFER* buffer);
};
