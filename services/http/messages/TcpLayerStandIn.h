#pragma once
// TEMPORARY: the few parts of the TCP layer's request and settings classes
// that the HTTP messages and settings build on, until services/line brings the
// real ones. Remove this file then and include theirs.
#include <cstring>

#include "AppCfg.h"
#include "BufferPool.h"
#include "CommLink.h"
#include "DataRequest.h"
#include "Profile.h"
#include "TextHelpers.h"

class TCPMSGBASE {
public:
    COMMLINK* link;
    IOBUFFER* buffer;  // owned until sent or destroyed

    TCPMSGBASE(IOBUFFER* b, COMMLINK* l) : link(l), buffer(b) {}
    virtual ~TCPMSGBASE() { FreeMessage(); }
    void FreeMessage() {
        if (buffer && link && link->pool) {
            link->pool->FreeBuffer(buffer, FALSE);
            buffer = nullptr;
        }
    }
};

class TCPREQUEST : public DATAREQUEST, public TCPMSGBASE {
public:
    void* lineConnection;  // the line connection this request is pending on
    BBOOL viaUpstreamProxy;
    BBOOL noInterface;

    TCPREQUEST(IOBUFFER* b, COMMLINK* l)
        : DATAREQUEST(nullptr, TRUE), TCPMSGBASE(b, l), lineConnection(nullptr), viaUpstreamProxy(0), noInterface(0) {}

    QV_ITEM_IDENTITY(TCPREQUEST, "TCPREQUEST", "tcRQ")
    char* GetReqStatus() override { return nullptr; }
    int SetReqStatus(const char*) override { return 0; }
};

class TCPAPPCFG : public APPCFG {
public:
    char outboundPort[64];

    TCPAPPCFG() : outboundPort{} {}
    QV_ITEM_IDENTITY(TCPAPPCFG, "TCPAPPCFG", "tcAC")

    BBOOL ReadProfile(PROFILE& p, const char* s) override {
        char text[64];
        if (p.ReadString(s, "TCP/IP Outbound Port", BUFFER(text, sizeof text)) >= 0)
            _strzcpy(outboundPort, text, sizeof outboundPort);
        if (invalidKey) return FALSE;
        return APPCFG::ReadProfile(p, s);
    }
};
