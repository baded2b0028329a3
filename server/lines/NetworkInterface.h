#pragma once
// The dial-up line policy: when lines 1-4 are dialled and hung up, and the
// requests parked until line 1 is up.
#include "QvWindows.h"
#include "BaseItem.h"
#include "Chain.h"
#include "Semaphore.h"
#include "Timer.h"
#include "TimeStamp.h"

class NETWORKINTERFACE;
class APPREQUEST;
class DATACONNECTION;
class LINKINTERFACE;

// The TCP interface layer as the policy uses it: the dial-up lines by their
// 1-based number and what the policy does to their links. The default
// object talks to the real layer; tests put a scripted double in its place.
class LINELAYER {
public:
    virtual ~LINELAYER() {}
    virtual LINKINTERFACE* FindRelativeLine(int n);
    virtual BBOOL GetLineState(int n, BBOOL check);
    // May block for the length of a dial.
    virtual BBOOL SetLineState(int n, BBOOL up);
    virtual void ShutDown(BBOOL hangUp);
    // Links running over the line now.
    virtual long ActiveRequests(LINKINTERFACE* link);
    virtual void HangUp(LINKINTERFACE* link);
    virtual void EnableRouting(LINKINTERFACE* link);
    virtual void DisableRouting(LINKINTERFACE* link);
    virtual void SendKeepAlive(LINKINTERFACE* link);
    // Rebuilds the socket layer's list of local interfaces.
    virtual void RefreshInterfaces();
    virtual void PlayLineSound(const char* sound, BBOOL async);
    // Modal box over the console window.
    virtual void ShowBox(const char* caption, const char* text);
};

class LINEINTERFACE {
public:
    LINEINTERFACE();
    // Copies the phonebook entry and the six settings; the rest starts at 0.
    LINEINTERFACE(const LINEINTERFACE& other);
    LINEINTERFACE& operator=(const LINEINTERFACE& other);

    // The line has connection settings: an entry that is not "none".
    BBOOL IsLineConfigured() const;
    // Entry exactly "none": never dialled by the policy's own steps.
    BBOOL IsNone() const;
    // Rates and totals of the link for the period that ends now.
    void updateStatistics(LINKINTERFACE* link, TIMESTAMP& now);

    NETWORKINTERFACE* owner;
    long lineNumber;
    long commandId;
    long requestedState;
    char phonebookEntry[256];
    BBOOL redial;
    BBOOL idleDisconnect;
    long idleMinutes;
    BBOOL keepAlive;
    BBOOL repeatDialing;
    long repeatDialingCount;
    // Run-time state below: changed under the interface lock, or on the GUI
    // thread for connect and the direct disconnect; read anywhere.
    volatile BBOOL connected;
    BBOOL requestedUp;
    long lineState;
    volatile BBOOL dialPending;
    volatile BBOOL redialling;
    long retryCount;
    TIMESTAMP lastActivity;
};

// Seconds between keep-alive passes.
const int KEEPALIVE_SECONDS = 120;

class NETWORKINTERFACE : public STORABLE {
public:
    NETWORKINTERFACE();
    // Copies the settings, lines included; chain, timers, lock and run-time
    // flags start fresh, and so do the failover flags (only the console sets them).
    NETWORKINTERFACE(const NETWORKINTERFACE& other);
    NETWORKINTERFACE& operator=(const NETWORKINTERFACE& other);
    ~NETWORKINTERFACE() override;

    QV_ITEM_IDENTITY(NETWORKINTERFACE, "NETWORKINTERFACE", "NINT")

    // GUI thread: dials what "Connect When Launched" and the parallel flags
    // ask for, queues the activity and keep-alive timers.
    BBOOL Startup();
    // Releases parked requests (cancelled) and stops. hangUp FALSE leaves
    // connected lines up: the quick shutdown (Shift held, question 71 skipped).
    BBOOL Shutdown(BBOOL hangUp);
    BBOOL ShutdownLeavingLinesUp() { return Shutdown(FALSE); }
    // Dial on demand, any thread. Nonzero: line 1 is up or being dialled and
    // the request (if any) was restarted or parked; 0: go on without a line.
    int ConnectOnRequest(APPREQUEST* request);
    // Connection monitor, any thread: escalates lines 2-4 by load.
    void ProcessNewConnection(DATACONNECTION* connection);
    // Polls the line states. Nonzero when a line is up; with onlyRequested,
    // a line that the policy itself asked up (the shutdown's question 71).
    int CheckCommInterfaces(BBOOL onlyRequested);
    // "<name> : <state text><detail>" into out; returns out.data.
    char* GetCommStatusMsg(LINKINTERFACE* link, BUFFER& out);
    // Dial (up) or hang up line n (1-4). Any thread; never blocks the caller
    // for a dial except on line-set and disconnect threads.
    BBOOL SetLineState(int n, BBOOL up);
    // Link events the console relays: state 9, and down or failed.
    void ProcessCommConnect(LINKINTERFACE* link);
    void ProcessCommDisconnect(LINKINTERFACE* link);
    static void ProcessDisconnectThread(void* link);
    // The line-set worker; argument is the LINEINTERFACE.
    static void processLineSet(void* line);
    // Timer callbacks; argument is the NETWORKINTERFACE.
    static void checkInterfaceActivity(void* self);
    static void keepaliveInterfaces(void* self);

    // The line whose link this is (up to the number of lines), else null.
    LINEINTERFACE* LineOf(LINKINTERFACE* link);
    // Tests: the layer used (null: the real one) and whether line-sets run
    // on threads of their own.
    void UseLayer(LINELAYER* layer);

    volatile BBOOL started;
    long lineCount;
    long samplingInterval;  // seconds
    LINEINTERFACE lines[4];
    BBOOL connectWhenLaunched;
    BBOOL connectUponRequest;
    // Lines 2-4 (index n - 2): ESC_* below.
    long escalation[3][4];
    // Parked requests, not owned; its lock guards every change of it.
    CHAIN<APPREQUEST> waiting;
    volatile BBOOL startupDialling;
    volatile BBOOL lineSetActive;  // polls answer at once meanwhile
    TIMER activityTimer;
    TIMER keepaliveTimer;
    long pollCounter;
    // Serialises line-sets and threaded disconnect handling; taken before
    // the waiting chain's lock, never after it.
    MSEMAPHORE interfaceLock;
    BBOOL lineSetThreads;  // FALSE only in tests: line-sets run on the caller

    enum { ESC_PARALLEL = 0, ESC_ON_DOWN = 1, ESC_ON_COUNT = 2, ESC_COUNT = 3 };

private:
    LINELAYER& layer();
    void init();
    void copySettings(const NETWORKINTERFACE& other);
    void playLineSound(int n, BBOOL up);
    void postLine(const LINEINTERFACE& line);
    void postText(const char* text);
    BBOOL dialNext(int n, int flag);
    void releaseWaiting(BBOOL cancel);
    BBOOL retryOrRedial(LINEINTERFACE& line, int state);
    void lineFailed(LINEINTERFACE& line);
    void takeSample(TIMESTAMP& now);
    void idleHangUps(TIMESTAMP& now);

    LINELAYER* custom;
};
