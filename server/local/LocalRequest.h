#pragma once
// Requests the server makes on its own behalf: console commands, prefetches
// and scheduled commands, with the pending queue and the request file.
#include "QvWindows.h"
#include "BaseItem.h"
#include "Chain.h"
#include "AppRequest.h"

class APPTYPE;
class DATAREQUEST;
class LOCALREQUEST;

class LOCALREQUEST : public STORABLE {
public:
    LOCALREQUEST();
    ~LOCALREQUEST() override;

    QV_ITEM_IDENTITY(LOCALREQUEST, "LOCALREQUEST", "LOCR")

    // A request of type built from command (optional schedule and
    // "LINK-LEVEL:" prefixes); null for an empty command, no type, or a
    // command the definition cannot build. With start it is started.
    static LOCALREQUEST* Generate(APPTYPE* type, const char* command, int linkLevel, unsigned long rootId,
                                  const char* origin, const char* outputFile, BBOOL start);
    // Lists the request in the server's chain and queues its timer.
    BBOOL StartUp();
    BBOOL CancelRequest(BBOOL cascade);

    static BBOOL ReadRequests(const char* fileName);
    static BBOOL SaveRequests(const char* fileName);
    static void SubmitRequests();

    char lastStatus[6];
    char outputFile[256];
    char origin[64];
    APPTYPE* type;
    DATAREQUEST* request;
    long linkLevel;
    unsigned long requestId;
    BBOOL submitted;
    BBOOL cancelled;
    BBOOL persistent;
    bSPOINTER* listNode;

    static long MaxSimReqs;
    static BBOOL DoSimReqs;
    static volatile BBOOL InShutdown;  // destroyed requests leave the chains alone
    static BBOOL RequestsRead;
    static BBOOL RequestsSaved;
};

// The request process of a local request.
class LOCALAPPREQUEST : public APPREQUEST {
public:
    LOCALAPPREQUEST(LOCALREQUEST* owner, DATAREQUEST* request, APPINSTANCE* instance);

    QV_ITEM_IDENTITY(LOCALAPPREQUEST, "LOCALAPPREQUEST", "LOCA")

    LOCALREQUEST* owner;
    BBOOL reported;
};
