// Local requests with a fake service type and a fixed clock: generation,
// timer pops, submission slots, completion, cancelling, the request file,
// console commands and the message box for the GUI thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "QvWindows.h"
#include "AppDebug.h"
#include "AppDefinition.h"
#include "AppLog.h"
#include "AppType.h"
#include "DataStore.h"
#include "LocalRequest.h"
#include "MessageBoxWatcher.h"
#include "MessageWindow.h"
#include "ScratchDir.h"
#include "ServerIds.h"
#include "SpControl.h"
#include "SvrSystem.h"
#include "TraceTexts.h"
#include "WaitFor.h"

namespace {

const UINT kAppMessage = WM_USER + 100;
unsigned long gNow = 0;
unsigned long FixedNow() { return gNow; }

std::vector<unsigned short> gAppMessages;
std::vector<LPARAM> gPayloads;

LRESULT CALLBACK ConsoleProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == kAppMessage) {
        gAppMessages.push_back((unsigned short)wp);
        gPayloads.push_back(lp);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

HWND MakeConsole() { return qvtest::MakeMessageWindow("QvLocalConsole", ConsoleProc); }

void Pump() { qvtest::PumpMessages(); }

std::atomic<int> gRequestsLive{0};

struct Request : DATAREQUEST {
    explicit Request(const char* command) : DATAREQUEST(command, TRUE) { ++gRequestsLive; }
    ~Request() override { --gRequestsLive; }
    QV_ITEM_IDENTITY(Request, "DATAREQUEST", "DRQa")
    char* GetReqStatus() override { return nullptr; }
    int SetReqStatus(const char*) override { return 0; }
};

// A result with a status and a body, as a service hands it back.
struct Result : DATARESULT {
    Result(DATAREQUEST* request, const char* s, const std::string& body) : DATARESULT(request, nullptr, FALSE) {
        std::snprintf(status, sizeof status, "%s", s);
        DATASTORE* store = DATASTORE::System();
        object = new (store) DATAOBJECT(store, nullptr, TRUE, 0, 0);
        object->prepare();
        object->SetData(BUFFER(const_cast<char*>(body.data()), (long)body.size()));
    }
    QV_ITEM_IDENTITY(Result, "DATARESULT", "DRSa")
    char* GetStatus() override { return status; }
    char* GetStatusLine(BUFFER&) override { return status; }
    int SetStatus(const char*) override { return 0; }
    char status[8];
};

// Builds any command but "BAD"; queued runs wait in `runs` for the test.
struct Definition : APPDEFINITION {
    explicit Definition(APPTYPE* t) : APPDEFINITION(t) {}
    QV_ITEM_IDENTITY(Definition, "APPDEFINITION", "APPD")
    DATAREQUEST* BuildRequest(const char* command) override {
        if (!std::strncmp(command, "BAD", 3)) return nullptr;
        Request* r = new Request(command);
        r->prepare();
        return r;
    }
    BBOOL QueueRequest(APPREQUEST* run) override {
        if (refuse) return FALSE;
        runs.push_back(run);
        return TRUE;
    }
    std::vector<APPREQUEST*> runs;
    bool refuse = false;
};

struct Type : APPTYPE {
    explicit Type(const char* n) : APPTYPE(n) { log = new APPLOG(n); }
    ~Type() override { delete log; }
    QV_ITEM_IDENTITY(Type, "APPTYPE", "APTP")
    APPDEFINITION* CreateAppDefinition() override { return nullptr; }
};

class LocalRequests : public qvtest::ScratchDirTest {
protected:
    LocalRequests() : ScratchDirTest("local") {}
    void SetUp() override {
        ScratchDirTest::SetUp();
        gNow = 1700000000UL;  // a Tuesday, 22:13 UTC
        TIMESTAMP::SetNowSource(FixedNow);
        gAppMessages.clear();
        gPayloads.clear();
        savedAppMessage = _pSupport->appMessage;
        _pSupport->appMessage = kAppMessage;
        console = MakeConsole();
        server = new SVRSYSTEM(FALSE, FALSE);
        server->prepare();
        server->consoleWindow = console;
        server->ready = TRUE;
        _pSvr = server;
        type = new Type("TELNET");
        type->prepare();
        definition = new Definition(type);
        definition->prepare();
        type->definition = definition;
        server->manager.types.Add(*type);
        LOCALREQUEST::InShutdown = FALSE;
        LOCALREQUEST::DoSimReqs = FALSE;
        LOCALREQUEST::MaxSimReqs = 5;
        LOCALREQUEST::ReqsSent = 0;
        LOCALREQUEST::MsgPosted = 0;
    }
    void TearDown() override {
        server->manager.types.RemoveAll(FALSE, nullptr);
        _pSvr = nullptr;
        server->freeobj();  // every listed request goes with the root
        EXPECT_EQ(0, LOCALREQUEST::LocalPendingRequests.count);
        type->definition = nullptr;
        definition->freeobj();
        type->freeobj();
        EXPECT_EQ(0, gRequestsLive.load()) << "every request freed";
        DestroyWindow(console);
        _pSupport->appMessage = savedAppMessage;
        TIMESTAMP::SetNowSource(nullptr);
        ScratchDirTest::TearDown();
    }

    LOCALREQUEST* Make(const char* command, BBOOL start = TRUE) {
        return LOCALREQUEST::Generate(type, command, -1, 0, "Admin", "", start);
    }
    int Posted(unsigned short id) {
        Pump();
        int n = 0;
        for (unsigned short m : gAppMessages) n += m == id;
        return n;
    }
    // The console's window timer: due timers pop; a 0xC8D submits.
    long Tick() {
        _pSupport->timers.PopTimers();
        long before = Posted(APPMSG_SUBMIT);
        gAppMessages.clear();
        return before ? LOCALREQUEST::SubmitRequests() : 0;
    }
    // The service ends the newest run with the status.
    void Finish(size_t index, long status = 0) {
        APPREQUEST* run = definition->runs.at(index);
        run->statusValue = status;
        run->FreeAppRequest(TRUE);
    }
    long Listed() { return server->localRequests.count; }

    SVRSYSTEM* server = nullptr;
    Type* type = nullptr;
    Definition* definition = nullptr;
    HWND console = nullptr;
    unsigned long savedAppMessage = 0;
};

TEST_F(LocalRequests, GenerateReadsPrefixesAndRefusesWhatCannotRun) {
    LOCALREQUEST* r = Make("AT IMMEDIATE; LINK-LEVEL: 2;  GET /a", FALSE);
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(2, r->linkLevel);
    EXPECT_STREQ("GET /a", r->Command());
    EXPECT_EQ(gNow, r->timer->due.seconds);
    EXPECT_STREQ("Admin", r->origin);
    EXPECT_EQ(r->request->requestId.id, r->requestId);
    EXPECT_EQ(0, Listed());
    r->freeobj();

    struct Case {
        const char* command;
        const char* what;
    } refused[] = {{"", "empty"},
                   {"AT IMMEDIATE;", "schedule without command"},
                   {"AT 06:00 FOO; GET /", "bad schedule"},
                   {"AT 06:00 UNTIL 12/31/97; GET /", "until without repeat"},
                   {"LINK-LEVEL: 2", "link level without command"},
                   {"BAD command", "definition refuses"}};
    for (const Case& c : refused) EXPECT_EQ(nullptr, Make(c.command)) << c.what;
    EXPECT_EQ(nullptr, LOCALREQUEST::Generate(nullptr, "GET /", -1, 0, "", "", TRUE));
    EXPECT_EQ(0, Listed());
}

TEST_F(LocalRequests, OneInFlightWithoutSimultaneousRequests) {
    for (int i = 0; i < 3; ++i) ASSERT_NE(nullptr, Make("AT IMMEDIATE; GET /"));
    _pSupport->timers.PopTimers();
    EXPECT_EQ(1, Posted(APPMSG_SUBMIT)) << "one 0xC8D outstanding";
    EXPECT_EQ(1, LOCALREQUEST::SubmitRequests());
    EXPECT_EQ(1u, definition->runs.size());
    LOCALREQUEST::CheckRequestsPending();
    EXPECT_EQ(1, Posted(APPMSG_SUBMIT)) << "no slot: nothing posted";
    Finish(0);
    EXPECT_EQ(2, Posted(APPMSG_SUBMIT));
    EXPECT_EQ(2, Listed());

    // With the switch, up to the maximum.
    LOCALREQUEST::DoSimReqs = TRUE;
    LOCALREQUEST::MaxSimReqs = 5;
    EXPECT_EQ(2, LOCALREQUEST::SubmitRequests());
    EXPECT_EQ(2, LOCALREQUEST::ReqsSent);

    // Nothing while not ready or closing.
    ASSERT_NE(nullptr, Make("AT IMMEDIATE; GET /later"));
    _pSupport->timers.PopTimers();
    server->ready = FALSE;
    EXPECT_EQ(0, LOCALREQUEST::SubmitRequests());
    server->ready = TRUE;
    server->closing = TRUE;
    EXPECT_EQ(0, LOCALREQUEST::SubmitRequests());
    server->closing = FALSE;
    EXPECT_EQ(1, LOCALREQUEST::SubmitRequests());
    for (size_t i = 1; i < definition->runs.size(); ++i) Finish(i);
    EXPECT_EQ(0, LOCALREQUEST::ReqsSent);
    EXPECT_EQ(0, Listed()) << "one-time requests go when done";
}

TEST_F(LocalRequests, RepeatingRequestWaitsForItsNextRun) {
    LOCALREQUEST* r = Make("AT IMMEDIATE REPEAT 60 COUNT 2; GET /");
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(1, Tick());
    EXPECT_EQ(gNow + 3600, r->timer->due.seconds);
    Finish(0);
    EXPECT_EQ(1, Listed()) << "timer queued: kept for the next run";
    gNow += 3600;
    EXPECT_EQ(1, Tick());
    Finish(1);
    EXPECT_EQ(0, Listed()) << "count used up";
}

TEST_F(LocalRequests, LineDropRequeuesAtMostThreeTimesInARow) {
    ASSERT_NE(nullptr, Make("AT IMMEDIATE; GET /"));
    EXPECT_EQ(1, Tick());
    for (size_t i = 0; i < 3; ++i) {
        Finish(i, LOCAL_STATUS_LINE_DOWN);
        EXPECT_EQ(1, LOCALREQUEST::LocalPendingRequests.count) << "requeue " << i + 1;
        EXPECT_EQ(1, LOCALREQUEST::SubmitRequests());
    }
    Finish(3, LOCAL_STATUS_LINE_DOWN);
    EXPECT_EQ(0, LOCALREQUEST::LocalPendingRequests.count);
    EXPECT_EQ(0, Listed()) << "the fourth drop ends the run";
}

TEST_F(LocalRequests, CancelTakesChildrenAndEndsRunsInFlight) {
    LOCALREQUEST* parent = Make("AT 06:00 REPEAT 60; GET /", TRUE);
    ASSERT_NE(nullptr, parent);
    parent->persistent = TRUE;
    LOCALREQUEST* waiting = LOCALREQUEST::Generate(type, "GET /child1", -1, parent->requestId, "", "", TRUE);
    LOCALREQUEST* running = LOCALREQUEST::Generate(type, "GET /child2", -1, parent->requestId, "", "", TRUE);
    ASSERT_TRUE(waiting && running);
    LOCALREQUEST::DoSimReqs = TRUE;
    EXPECT_EQ(2, Tick());  // both children (due now) go out; the parent waits for 06:00
    Finish(0);             // child1 done; parent and child2 remain
    EXPECT_EQ(2, Listed());
    EXPECT_TRUE(parent->CancelRequest(TRUE)) << "not submitted: deleted at once";
    EXPECT_EQ(0, Listed());
    // child2 was in flight: its run was restarted to end, and took it along.
    EXPECT_EQ(2u, definition->runs.size());
    EXPECT_EQ(0, LOCALREQUEST::ReqsSent);
}

TEST_F(LocalRequests, ChildFinishingLastTakesItsDoneParent) {
    LOCALREQUEST* parent = Make("AT IMMEDIATE; GET /", TRUE);
    ASSERT_NE(nullptr, parent);
    parent->persistent = TRUE;
    EXPECT_EQ(1, Tick());
    LOCALREQUEST* child = LOCALREQUEST::Generate(type, "GET /c", -1, parent->requestId, "", "", TRUE);
    ASSERT_NE(nullptr, child);
    Finish(0);  // the parent's own run: a child remains, so it stays
    EXPECT_EQ(2, Listed());
    EXPECT_EQ(1, Tick());
    Finish(1);  // the last child: the parent goes with it
    EXPECT_EQ(0, Listed());
}

TEST_F(LocalRequests, PendingRequestsAtExitAreDestroyedOnce) {
    for (int i = 0; i < 3; ++i) ASSERT_NE(nullptr, Make("AT IMMEDIATE; GET /"));
    _pSupport->timers.PopTimers();
    EXPECT_EQ(3, LOCALREQUEST::LocalPendingRequests.count);
    // TearDown destroys the root with them pending; it counts the requests freed.
}

TEST_F(LocalRequests, ResultBodiesGoToTheOutputFile) {
    LOCALREQUEST* r = LOCALREQUEST::Generate(type, "AT IMMEDIATE REPEAT 1 COUNT 2; GET /", -1, 0, "", "OUT.DAT", TRUE);
    ASSERT_NE(nullptr, Make("AT IMMEDIATE; GET /quiet"));  // no output file
    ASSERT_NE(nullptr, r);
    LOCALREQUEST::DoSimReqs = TRUE;
    EXPECT_EQ(2, Tick());
    ASSERT_EQ(2u, definition->runs.size());
    EXPECT_TRUE(definition->runs[0]->outputMark);
    EXPECT_FALSE(definition->runs[1]->outputMark);
    struct Run {
        size_t index;
        const char* status;
        std::string body;
    } runs[] = {{0, "200", "first body, the longer one"}, {1, "200", "not written"}, {2, "404", "second"}};
    for (const Run& run : runs) {
        if (run.index == 2) {
            gNow += 60;
            EXPECT_EQ(1, Tick());
        }
        APPREQUEST* app = definition->runs.at(run.index);
        (new Result(app->request, run.status, run.body))->prepare();
        const long sent = LOCALREQUEST::ReqsSent;
        EXPECT_TRUE(app->LogResult(definition));
        EXPECT_EQ(sent - 1, LOCALREQUEST::ReqsSent) << "a slot is free once the result is in";
        Finish(run.index);
    }
    EXPECT_EQ("second", Get("OUT.DAT")) << "each result replaces the file";
    EXPECT_EQ(0, LOCALREQUEST::ReqsSent);
    EXPECT_EQ(0, Listed());
}

TEST_F(LocalRequests, TraceFollowsRequestsThroughTheQueues) {
    ASSERT_TRUE(_pSupport->trace.StartTrace(TRACE_APP, 65536));
    // A repeating request: its first run ends with the next one waiting, its
    // second is cut by a line drop, and the service refuses it again.
    ASSERT_NE(nullptr, Make("AT IMMEDIATE REPEAT 60 COUNT 3; GET /"));
    EXPECT_EQ(1, Tick());
    Finish(0);
    gNow += 3600;
    EXPECT_EQ(1, Tick());
    Finish(1, LOCAL_STATUS_LINE_DOWN);
    definition->refuse = true;
    EXPECT_EQ(0, Tick());
    // A one-time request refused is gone.
    ASSERT_NE(nullptr, Make("AT IMMEDIATE; GET /once"));
    EXPECT_EQ(0, Tick());
    definition->refuse = false;
    // A run cancelled in flight.
    LOCALREQUEST* cancelled = Make("AT IMMEDIATE; GET /cancel");
    ASSERT_NE(nullptr, cancelled);
    EXPECT_EQ(1, Tick());
    EXPECT_FALSE(cancelled->CancelRequest(FALSE));  // its run, on no worker, ends at once
    // A parent taken along by its last child.
    LOCALREQUEST* parent = Make("AT IMMEDIATE; GET /parent");
    ASSERT_NE(nullptr, parent);
    parent->persistent = TRUE;
    EXPECT_EQ(1, Tick());
    ASSERT_NE(nullptr, LOCALREQUEST::Generate(type, "GET /child", -1, parent->requestId, "", "", TRUE));
    Finish(definition->runs.size() - 1);
    EXPECT_EQ(1, Tick());
    Finish(definition->runs.size() - 1);

    std::vector<std::string> local;
    for (const std::string& name : qvtest::TracedNames(TRACE_APP, 1, true))
        if (!name.compare(0, 13, "Local Request")) local.push_back(name);
    _pSupport->trace.StopTrace();
    const std::string timer = "Local Request On Timer Queue", pending = "Local Request On Local Pending Requests",
                      system = "Local Request On System Pending";
    const std::vector<std::string> want = {
        timer, timer, pending, system, "Local Request Complete - Still Timer Queued",
        timer, pending, system, "Local Request Complete - Requeued", pending,
        "Local Request Submit - not queued on system pending: Still Timer queued",
        timer, pending, "Local Request Submit - not queued on system pending: Not Timer queued",
        timer, pending, system, "Local Request Cancelled",
        timer, pending, system, timer, pending, system, "Local Request Complete - Parent"};
    EXPECT_EQ(want, local);
    EXPECT_EQ(1, Listed()) << "the repeating request waits for its last run";
}

std::string Bytes(const std::string& text, size_t n) { return text.substr(0, n); }

TEST_F(LocalRequests, RequestFileRoundTripAcrossARestart) {
    LOCALREQUEST* counted = Make("AT 06:00 REPEAT 60 COUNT 3; LINK-LEVEL: 1; GET /counted");
    LOCALREQUEST* daily = Make("AT 06:00 EVERYDAY; GET /daily");
    LOCALREQUEST* once = Make("AT 06:00; GET /once");
    LOCALREQUEST* loose = Make("GET /now");
    ASSERT_TRUE(counted && daily && once && loose);
    counted->persistent = daily->persistent = once->persistent = TRUE;
    EXPECT_EQ(3, LOCALREQUEST::SaveRequests(LOCAL_REQUEST_FILE)) << "a command without schedule is not kept";
    std::string file = Get(LOCAL_REQUEST_FILE);
    ASSERT_GE(file.size(), 7u);
    EXPECT_EQ(std::string("\x00\x00\x04", 3), Bytes(file, 3));
    EXPECT_EQ(std::string("\x03\x00\x00\x00", 4), file.substr(3, 4));
    unsigned long firstRun = counted->timer->due.seconds;  // next 06:00

    // Down for a day and a half: the next runs follow the grid of the first start.
    LOCALREQUEST::ReleaseAll(server->localRequests);
    LOCALREQUEST::InShutdown = FALSE;
    gNow = firstRun + 90 * 60;  // 07:30 on the first day
    EXPECT_EQ(3, LOCALREQUEST::ReadRequests(LOCAL_REQUEST_FILE));
    ASSERT_EQ(2, Listed()) << "the missed one-time request is dropped";
    LOCALREQUEST* back = server->localRequests.First();
    EXPECT_STREQ("GET /counted", back->Command());
    EXPECT_EQ(1, back->linkLevel);
    EXPECT_TRUE(back->persistent);
    EXPECT_EQ(firstRun + 2 * 3600, back->timer->due.seconds);
    EXPECT_EQ(2, back->timer->count) << "one run missed";
    LOCALREQUEST* daily2 = server->localRequests.Last();
    EXPECT_EQ(firstRun + 86400, daily2->timer->due.seconds);
}

TEST_F(LocalRequests, RunsMadeBeforeARestartAreNotMadeAgain) {
    const unsigned long start = gNow;
    LOCALREQUEST* r = Make("AT IMMEDIATE REPEAT 1 COUNT 2; GET /twice");
    ASSERT_NE(nullptr, r);
    r->persistent = TRUE;
    ASSERT_EQ(1, LOCALREQUEST::SaveRequests(LOCAL_REQUEST_FILE));
    EXPECT_EQ(1, Tick());
    Finish(0);
    // The shutdown saves only a file that is out of date.
    EXPECT_FALSE(LOCALREQUEST::RequestsSaved) << "the run changed the schedule";
    ASSERT_EQ(1, LOCALREQUEST::SaveRequests(LOCAL_REQUEST_FILE));
    LOCALREQUEST::ReleaseAll(server->localRequests);
    LOCALREQUEST::InShutdown = FALSE;

    gNow = start + 20;  // back within the minute
    ASSERT_EQ(1, LOCALREQUEST::ReadRequests(LOCAL_REQUEST_FILE));
    ASSERT_EQ(1, Listed());
    EXPECT_EQ(1, server->localRequests.First()->timer->count) << "one run left";
    EXPECT_EQ(0, Tick());
    gNow = start + 60;
    EXPECT_EQ(1, Tick());
    Finish(1);
    EXPECT_EQ(0, Listed());
    EXPECT_FALSE(LOCALREQUEST::RequestsSaved) << "the request is gone from the file";
    EXPECT_EQ(0, LOCALREQUEST::SaveRequests(LOCAL_REQUEST_FILE));
    gNow = start + 3600;
    EXPECT_EQ(0, Tick());
    EXPECT_EQ(2u, definition->runs.size());
}

TEST_F(LocalRequests, UnknownTypesAndDamagedFilesReadCleanly) {
    LOCALREQUEST* a = Make("AT 06:00 REPEAT 60; GET /a");
    LOCALREQUEST* b = Make("AT 06:00 REPEAT 60; GET /b");
    ASSERT_TRUE(a && b);
    a->persistent = b->persistent = TRUE;
    ASSERT_EQ(2, LOCALREQUEST::SaveRequests(LOCAL_REQUEST_FILE));
    const std::string good = Get(LOCAL_REQUEST_FILE);
    LOCALREQUEST::ReleaseAll(server->localRequests);
    LOCALREQUEST::InShutdown = FALSE;

    // The type is gone: both records count, none loads.
    std::strcpy(type->name, "GOPHER");
    EXPECT_EQ(2, LOCALREQUEST::ReadRequests(LOCAL_REQUEST_FILE));
    EXPECT_EQ(0, Listed());
    std::strcpy(type->name, "TELNET");

    // A command length far beyond its record.
    std::string lying = good;
    size_t at = lying.find("GET /a");
    ASSERT_NE(std::string::npos, at);
    lying[at - 1] = '\x7F';
    struct Case {
        std::string bytes;
        const char* what;
    } cases[] = {
        {good.substr(0, good.size() - 9), "cut inside the last record"},
        {good.substr(0, 5), "cut inside the count"},
        {good.substr(0, 7) + std::string(40, '\xFF'), "garbage after the count"},
        {std::string(), "empty file"},
        {lying, "command length beyond the record"},
    };
    for (const Case& c : cases) {
        Put(LOCAL_REQUEST_FILE, c.bytes);
        long read = LOCALREQUEST::ReadRequests(LOCAL_REQUEST_FILE);
        EXPECT_LE(Listed(), 2) << c.what;
        EXPECT_LE(read < 0 ? -read : read, 2) << c.what;
        CHAIN<LOCALREQUEST>& chain = server->localRequests;
        for (LOCALREQUEST* r = chain.First(); r; r = chain.First()) {
            EXPECT_TRUE(!std::strcmp(r->Command(), "GET /a") || !std::strcmp(r->Command(), "GET /b")) << c.what;
            r->CancelRequest(FALSE);
        }
    }
    EXPECT_EQ(0, LOCALREQUEST::ReadRequests("NO-SUCH.REQ"));
}

TEST_F(LocalRequests, ConcurrentSavesLeaveAReadableFile) {
    for (int i = 0; i < 6; ++i) {
        LOCALREQUEST* r = Make(("AT 06:00 REPEAT 60; GET /" + std::to_string(i)).c_str());
        ASSERT_NE(nullptr, r);
        r->persistent = TRUE;
    }
    std::atomic<int> failures{0};
    auto saver = [&] {
        for (int i = 0; i < 25; ++i)
            if (LOCALREQUEST::SaveRequests(LOCAL_REQUEST_FILE) != 6) ++failures;
    };
    std::thread one(saver), two(saver);
    one.join();
    two.join();
    EXPECT_EQ(0, failures.load());
    LOCALREQUEST::ReleaseAll(server->localRequests);
    LOCALREQUEST::InShutdown = FALSE;
    EXPECT_EQ(6, LOCALREQUEST::ReadRequests(LOCAL_REQUEST_FILE));
    EXPECT_EQ(6, Listed());
}

TEST_F(LocalRequests, ConsoleCommandIsLoggedKeptAndNotMadeTwice) {
    std::strcpy(server->options.users.ownerName, "Admin");
    // The request file goes to the configuration directory, not the current one.
    CreateDirectoryA("config", nullptr);
    std::snprintf(server->configDirectory, sizeof server->configDirectory, "%s\\config", dir.c_str());
    server->systemLog.Open(TRUE);
    type->log->SetupLogfile(&server->systemLog, nullptr, 0);
    type->log->SetLogging(TRUE);
    APPDEBUG debug(type);
    ASSERT_TRUE(debug.AllocCommand(256));
    ASSERT_TRUE(debug.SetCmd("AT 06:00 EVERYDAY; open host 23", FALSE));
    EXPECT_TRUE(debug.RequestProc());
    ASSERT_EQ(1, Listed());
    LOCALREQUEST* r = server->localRequests.First();
    EXPECT_TRUE(r->persistent);
    EXPECT_TRUE(r->timer->IsQueued());
    EXPECT_STREQ("DEBUG.DAT", r->outputFile);
    char id[16];
    std::snprintf(id, sizeof id, "%lx", r->requestId);
    server->systemLog.Close();
    EXPECT_NE(std::string::npos,
              Get("SYSTEM.DAT").find(std::string("TELNET request submitted from Admin (ID=") + id +
                                     "):  AT 06:00 EVERYDAY; open host 23"))
        << Get("SYSTEM.DAT");
    EXPECT_NE("<missing>", Get("config\\QUORVANE.REQ"));
    EXPECT_EQ("<missing>", Get(LOCAL_REQUEST_FILE));
    EXPECT_EQ(1, LOCALREQUEST::ReadRequests(LOCAL_REQUEST_FILE)) << "saved to the request file";
    // The restart's initial request file runs the same command: not made again.
    while (Listed() > 1) server->localRequests.Last()->CancelRequest(FALSE);
    EXPECT_TRUE(debug.RequestProc());
    EXPECT_EQ(1, Listed());
    ASSERT_TRUE(debug.SetCmd("AT 06:00 FOO; open host 23", FALSE));
    EXPECT_FALSE(debug.RequestProc()) << "a bad schedule is refused";
    EXPECT_EQ(1, Listed());
}

TEST_F(LocalRequests, MessageBoxGoesThroughTheConsole) {
    const struct {
        BBOOL information;
        LPCSTR icon;
    } cases[] = {{TRUE, IDI_INFORMATION}, {FALSE, IDI_WARNING}};
    for (const auto& c : cases) {
        qvtest::ClearSeenBoxes();
        gAppMessages.clear();
        gPayloads.clear();
        ASSERT_TRUE(SVRMSGBOX::Post(IDS_TITLE, IDS_LINE_CONNECTED, c.information));
        ASSERT_EQ(1, Posted(APPMSG_MESSAGE_BOX));
        SVRMSGBOX* box = reinterpret_cast<SVRMSGBOX*>(gPayloads.back());
        EXPECT_EQ(c.information, box->information);
        box->Display(console);
        box->freeobj();
        std::vector<qvtest::SeenBox> seen = qvtest::SeenBoxes();
        ASSERT_EQ(1u, seen.size());
        EXPECT_EQ("Quorvane Steadfell", seen[0].caption);
        EXPECT_EQ(ServerText(IDS_LINE_CONNECTED), seen[0].text);
        EXPECT_EQ(static_cast<void*>(LoadIconA(nullptr, c.icon)), seen[0].icon) << c.information;
    }
}

}  // namespace
