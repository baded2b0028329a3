#pragma once
// A running service: its instances, connections and active requests, and the
// virtual protocol through which server, console and services reach it.
#include "QvWindows.h"
#include "Chain.h"
#include "AppOptions.h"
#include "AppInstance.h"
#include "AppConnection.h"
#include "AppRequest.h"

class APPTYPE;
class APPUSER;

class APPDEFINITION : public STORABLE {
public:
    // Copies "User Security" and the threading mode from the server root.
    explicit APPDEFINITION(APPTYPE* type = nullptr);
    // Destroys instances, connections and active requests, in that order.
    ~APPDEFINITION() override;

    QV_ITEM_IDENTITY(APPDEFINITION, "APPDEFINITION", "APPD")

    virtual DATAREQUEST* BuildRequest(const char* command) { return nullptr; }
    // Cancels and restarts each active request once; returns how many are active.
    virtual long CancelRequests();
    // Closes the instance lock for good and forces every instance down.
    virtual void ForceShutdown();
    virtual const char* GetUserName(APPCONNECTION* connection);
    virtual void NewConnectSettings(BBOOL after) {}
    // Queued on the first instance; FALSE without instances (the caller keeps the request).
    virtual BBOOL QueueRequest(DATAREQUEST* request);
    virtual BBOOL QueueRequest(APPREQUEST* request);
    virtual void RenameAppUser(const char* oldName, const char* newName) {}
    // Queued again on its instance while its process still belongs to one.
    virtual BBOOL ReQueueRequest(DATAREQUEST* request);
    virtual long ReturnResult(DATARESULT* result) { return 0; }
    // TRUE: nothing to save. FALSE: saving, command posted to window when done.
    virtual BBOOL ShutdownAppCache(void* object, HWND window, int command, LPARAM parameter) { return TRUE; }
    virtual BBOOL StartAppCache() { return TRUE; }
    virtual BBOOL StartCommunications() { return TRUE; }
    virtual BBOOL StopCommunications() { return TRUE; }
    virtual BBOOL StartSecondaryCommunications(void* line) { return TRUE; }
    virtual BBOOL StopSecondaryCommunications(void* line) { return TRUE; }
    virtual void UpdateAppCache(APPCACHE* cache, BBOOL apply) {}
    virtual void UpdateAppProxies(APPPROXIES* proxies, BBOOL apply) {}
    virtual void UpdateAppUser(APPUSER* user, BBOOL removed) {}
    // Counts logins against the maximum; returns an APPLOGINSTATE.
    virtual int UserLogin(APPCONNECTION* connection, BBOOL login);

    // Start or stop every instance, stopping at the first failure.
    BBOOL StartInstanceCommunications();
    BBOOL StopInstanceCommunications();
    BBOOL LogRequest(APPREQUEST* request);

    char name[9];
    CHAIN<APPINSTANCE> instances;      // owned; its lock is the instance lock
    CHAIN<APPCONNECTION> connections;  // owned
    CHAIN<APPREQUEST> activeRequests;  // owned
    APPTYPE* type;
    BBOOL userSecurity;
    BBOOL shared;
    volatile BBOOL wakeup;  // set by an instance's RequestWakeup, cleared by the worker
    BBOOL localUser;        // the TCP layer added the gateway's own user
    BBOOL communicating;    // the manager started it and has not stopped it
};
