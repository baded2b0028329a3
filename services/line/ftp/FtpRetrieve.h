#pragma once
// The ftp:// retrieval: the HTTP proxy has the FTP service fetch a file or a
// directory listing into its cache object, one FTP command per step. The
// request's originProcess is the requester (the HTTP side's process that
// waits for the object); its process is the FTP worker's, restarted by every
// reply and by the end of the data or control connection.
#include "QvWindows.h"
#include <deque>
#include <string>
#include "FtpMessages.h"

class DATAOBJECT;
class FTPCONNECTION;
class FTPUSERREQUEST;
class APPREQUEST;

class FTPGETREQUEST : public FTPCMDREQUEST {
public:
    // Looks the media type of path up in [FTP File Types] of the main profile.
    FTPGETREQUEST(const char* host, const char* path, long port);
    ~FTPGETREQUEST() override;

    QV_ITEM_IDENTITY(FTPGETREQUEST, "FTPGETREQUEST", "ftGQ")

    // A new retrieval of path on host (port 0: the service's outbound port)
    // into object, which it holds a reference on; null without memory.
    static FTPGETREQUEST* Generate(const char* host, const char* path, DATAOBJECT* object, long port);
    // Worker thread: the next step; TRUE while the retrieval goes on, FALSE
    // once it failed (the requester has been answered). Finished: see done.
    BBOOL ProcessCommand(TELAPPINSTANCE* instance) override;

    // Monitor threads: a reply or data chunk of a retrieval connection, and the
    // end of its data or control connection. TRUE when taken.
    static BBOOL TakeResult(FTPCONNECTION* connection, DATARESULT* result);
    static void DataEnded(FTPCONNECTION* data);
    static void ServerEnded(FTPCONNECTION* server);

    FTPUSERREQUEST* userRequest;  // the login: "anonymous" and the host (owned)
    FTPCONNECTION* server;        // the server control connection (a reference)
    char path[1024];
    long urlPort;         // 0 = none given
    long step;            // 0 login, 1 USER, 2 PASS, 3 PORT, 4 CWD, 5 TYPE, 6 transfer, 7 final reply
    BBOOL isDirectory;    // CWD to the path succeeded
    BBOOL transferDone;   // the final reply to LIST or RETR was a success
    BBOOL done;           // finished or failed: nothing more runs
    char contentType[64];

private:
    // Events from the monitor threads, taken by the worker; under EventLock.
    std::deque<FTPRESPONSE*> pendingReplies;  // in arrival order, each taken by one step
    BBOOL dataGone, dataFailed, dataWasConnected, serverGone;
    long serverError;

    static CRITICAL_SECTION& EventLock();
    static FTPGETREQUEST* acquire(FTPCONNECTION* c);  // with a reference, or null
    BBOOL runStep(TELAPPINSTANCE* instance);  // one step, with the oldest pending reply
    void wake();
    BBOOL send(const char* text);
    BBOOL fail(int reason, FTPRESPONSE* reply);
    BBOOL finish();
    BBOOL started(TELAPPINSTANCE* instance);
    void answer(const char* text, BBOOL restart);
    void detachServer(BBOOL abort);
    APPREQUEST* requester() const;
    std::string password();
};

typedef FTPGETREQUEST* (*FTPGENERATEPROC)(const char* host, const char* path, DATAOBJECT* object, long port);
// Set to FTPGETREQUEST::Generate; the HTTP side calls it while the FTP service runs.
extern FTPGENERATEPROC _pFTPGenerateRetrieve;
