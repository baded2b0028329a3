#pragma once
// Requests the server makes on its own behalf: console commands, prefetches
// and scheduled commands, with the pending queue and the request file.
//
// Request file (QUORVANE.REQ): a STREAMCOUNT with the number of records, then
// one framed LOCALREQUEST per record, body between BEGINDI (424) and ENDDI:
// link level (4-byte integer), has-schedule (1 byte), application type name,
// origin (NUL-ended texts), command length (4-byte integer, without the
// NUL), command (NUL-ended); then, with has-schedule 1, the LOCALTIMER as a
// nested object (LocalTimer.h). Integers little-endian (ReqFields.h).
#include "QvWindows.h"
#include "BaseItem.h"
#include "Chain.h"
#include "AppRequest.h"
#include "LocalTimer.h"
#include "Streamable.h"

class APPTYPE;
class DATAREQUEST;
class LOCALAPPREQUEST;

// The request file in the configuration directory.
extern const char* const LOCAL_REQUEST_FILE;
// Requeues in a row of a run cut off by a line drop before the run fails.
const int LOCAL_REQUEUE_LIMIT = 3;
// Status of a request cut off by its line going down.
const long LOCAL_STATUS_LINE_DOWN = 9990;

class LOCALREQUEST : public STORABLE, public STREAMABLE {
public:
    LOCALREQUEST();
    // Unlinks itself (unless InShutdown), drops its schedule and request.
    ~LOCALREQUEST() override;

    QV_ITEM_IDENTITY(LOCALREQUEST, "LOCALREQUEST", "LOCR")

    // A request of type built from command (optional schedule and
    // "LINK-LEVEL:" prefixes); null for an empty command, no type, or a
    // command the definition cannot build. With start it is started.
    static LOCALREQUEST* Generate(APPTYPE* type, const char* command, int linkLevel, unsigned long rootId,
                                  const char* origin, const char* outputFile, BBOOL start);
    // Lists the request in the server's chain and queues its timer.
    BBOOL StartUp();
    // TRUE when the request was deleted at once; a submitted one ends later.
    BBOOL CancelRequest(BBOOL withChildren);
    // Its run ended (the LOCALAPPREQUEST goes); any thread.
    void RequestComplete(LOCALAPPREQUEST* run);

    // GUI thread: the timer fired.
    static void TimerPopExec(void* request);
    // Posts 0xC8D when a slot is free and requests wait; any thread.
    static void CheckRequestsPending();
    // GUI thread, on 0xC8D: hands waiting requests to their services.
    static long SubmitRequests();
    // A result arrived (service worker thread).
    static BBOOL LocalResponse(LOCALAPPREQUEST* run);
    // Records read (negative: the file ended in error; 0: not opened).
    static long ReadRequests(const char* path);
    // Records written; 0 on failure, the previous file then left in place.
    static long SaveRequests(const char* path);
    // The listed persistent request of type with the same command and
    // schedule as text, else null. Under the request-chain lock.
    static LOCALREQUEST* FindPersistent(APPTYPE* type, const char* text);
    // The server root's end: pending cells are let go without destroying,
    // then every listed request is destroyed once, through the chain.
    static void ReleaseAll(CHAIN<LOCALREQUEST>& chain);

    BBOOL StreamIn(STREAMBUF& s) override;
    BBOOL StreamOut(STREAMBUF& s) override;
    int ItemStreamSize(BBOOL full) override;

    // Schedule, command and request as Generate makes them.
    BBOOL build(APPTYPE* type, const char* command);
    // True with a schedule written as words ("AT ...").
    BBOOL HasSchedule() const { return timer && timer->startText[0]; }
    const char* Command() const;

    char lastStatus[6];
    char outputFile[256];
    char origin[64];
    LOCALTIMER* timer;       // owned
    APPTYPE* type;
    DATAREQUEST* request;    // owned; its released flag held set meanwhile
    LOCALAPPREQUEST* inFlight;
    long linkLevel;
    unsigned long requestId;
    // State below changes under the server's request-chain lock.
    BBOOL submitted;
    BBOOL countedOff;
    BBOOL cancelled;
    BBOOL persistent;
    long requeues;           // line-drop requeues in a row
    bSPOINTER* pendingNode;  // place in LocalPendingRequests, or null
    bSPOINTER* listNode;     // place in the server's request chain, or null
    long redirections = 0;   // 301/302 answers followed in a row to reach this request

    // Waiting for submission; its lock is held across a whole submission
    // pass and taken after the request-chain lock, never before it.
    static CHAIN<LOCALREQUEST> LocalPendingRequests;
    static long MaxSimReqs;
    static BBOOL DoSimReqs;
    static volatile long ReqsSent;   // submitted and not finished
    static volatile long MsgPosted;  // one 0xC8D on its way
    static volatile BBOOL InShutdown;  // destroyed requests leave the chains alone
    static BBOOL RequestsRead;
    static BBOOL RequestsSaved;
    static long Limit() { return DoSimReqs ? MaxSimReqs : 1; }

private:
    // Queues the timer on the platform's timers as it stands.
    BBOOL onTimerQueue();
    BBOOL ResubmitRequest();
    BBOOL queueOnLocalPending();
    BBOOL queueOnSystemPending();
    void unlink();
    void dropRequest();
    void destroy();
};

// The request process of a local request.
class LOCALAPPREQUEST : public APPREQUEST {
public:
    LOCALAPPREQUEST(LOCALREQUEST* owner, DATAREQUEST* request, APPINSTANCE* instance);
    // Reports the end to its owner once.
    ~LOCALAPPREQUEST() override;

    QV_ITEM_IDENTITY(LOCALAPPREQUEST, "LOCALAPPREQUEST", "LOCA")

    BBOOL LogResult(APPDEFINITION* definition) override;

    LOCALREQUEST* owner;  // cleared when the owner goes first
    BBOOL reported;
};

// A message box that any thread asks the console (GUI thread) to show.
class SVRMSGBOX : public BASEITEM {
public:
    SVRMSGBOX(int captionId, int textId, BBOOL information);

    QV_ITEM_IDENTITY(SVRMSGBOX, "SVRMSGBOX", "SMBX")

    // Hands a new box to the console (0xC8F), which shows and frees it.
    static BBOOL Post(int captionId, int textId, BBOOL information);
    // Both texts from the string table; information or warning style.
    int Display(HWND owner);

    int captionId;
    int textId;
    BBOOL information;
};
