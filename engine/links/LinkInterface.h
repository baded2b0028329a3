#pragma once
// A network interface or dial-up line as the links see it, with the console's two hooks.
#include "QvBase.h"
#include "BaseItem.h"
#include "TimeStamp.h"

class LINKINTERFACE;
typedef void (*LINKSTATUSNOTIFIER)(LINKINTERFACE* line, const char* text);
typedef int (*LINKDIALERPARMS)(LINKINTERFACE* line, BUFFER& userName, BUFFER& password, BUFFER& domain);

class LINKINTERFACE : public STORABLE {
public:
    explicit LINKINTERFACE(const char* name);
    ~LINKINTERFACE() override;

    QV_ITEM_IDENTITY(LINKINTERFACE, "LINKINTERFACE", "LNKI")

    virtual BBOOL CheckInterfaceStatus(BBOOL);
    virtual BBOOL Connect(BBOOL notify);
    virtual void Disconnect(BBOOL, BBOOL notify);

    // Set once by the console before any link exists.
    static LINKSTATUSNOTIFIER pStatusNotifier;
    static LINKDIALERPARMS pDialerParms;

    char name[64];
    BBOOL dialUp;
    BBOOL connected;
    BBOOL stale;
    BBOOL down;
    BBOOL connecting;
    BBOOL dropped;
    BBOOL failed;
    BBOOL active;
    BBOOL secondary;
    BBOOL linkFailure;
    int lineNumber;
    void* serviceControl;
    volatile long bytesReceived;
    volatile long bytesSent;
    long statistics[7];
    TIMESTAMP stamps[2];
    int sampleInterval;
    int state;  // 1 up, 2 down; the dialer uses further values
    char statusText[128];
};
