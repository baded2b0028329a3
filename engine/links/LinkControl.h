#pragma once
// Settings shared by every link of one service, and the package set-up of the link layer.
#include "QvBase.h"
#include "BaseItem.h"
#include "SpControl.h"

class COMMLINK;
class IOBUFFER;

// Given to every link and connection; fixes which end it is.
enum LINKTYPE {
    LINK_CLIENT_LISTEN = 0,   // a service's port for the LAN clients
    LINK_SERVER_LISTEN = 1,   // a port one server connects back to
    LINK_CLIENT_CONNECT = 2,  // the server connects to a LAN client
    LINK_SERVER_CONNECT = 3   // the server connects to an Internet server
};

inline BBOOL LinkTypeAccepting(LINKTYPE t) { return t == LINK_CLIENT_LISTEN || t == LINK_SERVER_LISTEN; }
inline BBOOL LinkTypeInbound(LINKTYPE t) { return t == LINK_CLIENT_LISTEN || t == LINK_CLIENT_CONNECT; }

// Hooks a service installs; the socket links call them.
typedef BBOOL (*LINKSTREAMHANDLER)(COMMLINK* link, IOBUFFER* buffer);
typedef void (*LINKDRAINHOOK)(COMMLINK* link);

// Receives a listening link's error when its link monitor gives up on it.
struct LINKERRORSINK {
    int error = 0;
};

class LINKCONTROL : public BASEITEM {
public:
    LINKCONTROL();
    ~LINKCONTROL() override;

    QV_ITEM_IDENTITY(LINKCONTROL, "LINKCONTROL", "LNKC")

    volatile long connectionCount;  // accepted secondaries counted now; changed with interlocked calls
    BBOOL messageMode;              // frame every message with a 4-byte length
    LINKSTREAMHANDLER streamHandler;
    LINKDRAINHOOK sendDrainedHook;
    void* interfaceList;
    LINKERRORSINK* errorSink;
};

extern LINKCONTROL* _pDefaultLinkControl;

class DATACOMM_INIT {
public:
    DATACOMM_INIT();
    ~DATACOMM_INIT();
    static int InitCount;
};

// Every module that includes this header sets the link layer up before its own statics.
static DATACOMM_INIT _dataCommInit;
