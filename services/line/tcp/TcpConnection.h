#pragma once
// The connection class of every TCP service: a service connection that counts
// what its line layer received and handled.
#include "QvWindows.h"
#include "AppConnection.h"

class TCPCONNECTION : public APPCONNECTION {
public:
    // Remote host, port text and network name (the link type), each may be null.
    TCPCONNECTION(APPDEFINITION* definition, LINKCONTROL& control, const char* host, const char* port,
                  const char* linkType);
    // A connection made from other (an accepted client from its listener, an
    // outbound one from an instance's own): recordParent and internal go to the engine.
    TCPCONNECTION(const TCPCONNECTION& other, BBOOL recordParent, BBOOL internal);
    ~TCPCONNECTION() override;

    QV_ITEM_IDENTITY(TCPCONNECTION, "TCPCONNECTION", "tcCN")

    long GetResultCount() override { return receivedBytes; }
    long GetRequestCount() { return handledRequests; }

    volatile long receivedBytes;  // added to by the line layer's stream handler (link thread)
    long handledRequests;
};
