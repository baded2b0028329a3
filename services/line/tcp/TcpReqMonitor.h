#pragma once
// The request monitor of the TCP services: every chunk read is one message,
// every queued message is written to its destination link unchanged, and a
// disconnect marker closes the destination side instead.
#include "QvWindows.h"
#include "RequestMonitor.h"

class TCPDEFINITION;

class TCPREQMONITOR : public REQUESTMONITOR {
public:
    // mode 1: a definition's inbound monitor; 2: an instance's outbound one.
    TCPREQMONITOR(LINKCONTROL& control, IOMODE mode);
    ~TCPREQMONITOR() override;  // returns the command buffer's storage

    QV_ITEM_IDENTITY(TCPREQMONITOR, "TCPREQMONITOR", "tcRM")

    // The default stream handler: whatever a read delivers is one message.
    static BBOOL MessageMonitor(COMMLINK* link, IOBUFFER* buffer);

    DATACONNECTION* CreateConnection(DATACONNECTION* other, BBOOL recordParent, BBOOL internal) override;
    DATAREQUEST* buildRequest(IOBUFFER* buffer, DATACONNECTION* from) override;
    DATARESULT* buildResult(IOBUFFER* buffer, DATACONNECTION* from) override;
    // Releases the request: at this layer client input goes nowhere.
    BBOOL evaluateRequest(DATAREQUEST* request) override;
    BBOOL evaluateResult(DATARESULT* result) override;
    BBOOL sendRequest(DATAREQUEST* request, DATACONNECTION* to) override;
    BBOOL sendResult(DATARESULT* result, DATACONNECTION* to) override;
    REQUESTMONITOR* createSecondaryMonitor(IOMODE mode, DATACONNECTION* connection) override;
    // Takes a result read on an internal connection; this layer takes none.
    virtual BBOOL internalResult(DATARESULT* result) { return 0; }

    // A disconnect marker written to to: close after its queued output, at once
    // when not yet connected, or drop it when it is already closing. Monitor thread.
    static void CloseDestination(DATACONNECTION* to);

    TCPDEFINITION* definition;  // set before the monitor starts, kept for its life
    BUFFER commandBuffer;       // the text of a request without a buffer (line layer); owned storage
};
