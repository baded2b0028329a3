// The ftp:// retrieval in process: the FTP service started on its own, a
// scripted server on loopback, and a requester that records what it is given.
#include <gtest/gtest.h>
#include <winsock2.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "AppCfg.h"
#include "AppInstance.h"
#include "AppUser.h"
#include "DataStore.h"
#include "FtpConnection.h"
#include "FtpRetrieve.h"
#include "FtpService.h"
#include "NetworkInterface.h"
#include "ScratchDir.h"
#include "SvrSystem.h"
#include "TcpControl.h"
#include "TcpInterface.h"
#include "TcpSockLink.h"
#include "WaitFor.h"

namespace {

// One control connection at a time; replies picked by the command word.
struct ScriptedServer {
    SOCKET listener = INVALID_SOCKET;
    int port = 0;
    std::map<std::string, std::string> replies;  // "RETR" -> "150 go\r\n" ...
    std::string data;                            // sent on the PORT address after a 1xx to LIST or RETR
    bool connectData = true;
    bool dropAfterStart = false;  // closes control after the 1xx, without data
    HANDLE holdAfterData = nullptr;  // when set, the data connection stays open until it is signalled
    int sessions = 1;                // control connections served one after another
    bool connectAtPort = false;      // connects to a PORT address at once (as pyftpdlib does), not at the transfer
    std::atomic<bool> dataSent{false};
    std::mutex lock;
    std::vector<std::string> seen;
    std::atomic<bool> closedByClient{false};
    std::thread thread;

    ScriptedServer() {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener, (sockaddr*)&a, sizeof a);
        listen(listener, 4);
        int n = sizeof a;
        getsockname(listener, (sockaddr*)&a, &n);
        port = ntohs(a.sin_port);
    }
    ~ScriptedServer() {
        closesocket(listener);
        if (thread.joinable()) thread.join();
    }
    void Start() { thread = std::thread([this] { Serve(); }); }
    std::vector<std::string> Seen() {
        std::lock_guard<std::mutex> g(lock);
        return seen;
    }

    static void Send(SOCKET s, const std::string& t) { send(s, t.data(), (int)t.size(), 0); }
    void Serve() {
        for (int i = 0; i < sessions; i++)
            if (!ServeOne()) return;
    }
    bool ServeOne() {
        SOCKET c = accept(listener, nullptr, nullptr);
        if (c == INVALID_SOCKET) return false;
        Send(c, "220 scripted\r\n");
        std::string got, portLine;
        SOCKET early = INVALID_SOCKET;
        char buf[4096];
        for (;;) {
            size_t at = got.find("\r\n");
            if (at == std::string::npos) {
                int n = recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                got.append(buf, (size_t)n);
                continue;
            }
            std::string line = got.substr(0, at);
            got.erase(0, at + 2);
            {
                std::lock_guard<std::mutex> g(lock);
                seen.push_back(line);
            }
            std::string word = line.substr(0, line.find(' '));
            if (word == "PORT") {
                portLine = line.substr(5);
                if (early != INVALID_SOCKET) closesocket(early);
                early = connectAtPort ? ConnectData(portLine) : INVALID_SOCKET;
            }
            std::string reply = replies.count(word) ? replies[word] : word == "QUIT" ? "221 bye\r\n" : "200 ok\r\n";
            Send(c, reply);
            if (word == "QUIT") {
                // With a data connection open it reads no more commands and closes
                // once that connection ends (as pyftpdlib does).
                if (early != INVALID_SOCKET) {
                    DWORD limit = 15000;
                    setsockopt(early, SOL_SOCKET, SO_RCVTIMEO, (const char*)&limit, sizeof limit);
                    while (recv(early, buf, sizeof buf, 0) > 0) {
                    }
                }
                break;
            }
            if ((word == "RETR" || word == "LIST") && reply[0] == '1') {
                if (dropAfterStart) break;
                if (connectData) SendData(early != INVALID_SOCKET ? early : ConnectData(portLine));
                early = INVALID_SOCKET;
                Send(c, "226 done\r\n");
            }
        }
        closedByClient = true;
        if (early != INVALID_SOCKET) closesocket(early);
        closesocket(c);
        return true;
    }
    static SOCKET ConnectData(const std::string& port) {
        unsigned f[6];
        if (sscanf(port.c_str(), "%u,%u,%u,%u,%u,%u", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5]) != 6)
            return INVALID_SOCKET;
        SOCKET d = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl((f[0] << 24) | (f[1] << 16) | (f[2] << 8) | f[3]);
        a.sin_port = htons((u_short)(f[4] * 256 + f[5]));
        if (connect(d, (sockaddr*)&a, sizeof a) == 0) return d;
        closesocket(d);
        return INVALID_SOCKET;
    }
    void SendData(SOCKET d) {
        if (d != INVALID_SOCKET) Send(d, data);
        dataSent = true;
        if (holdAfterData) WaitForSingleObject(holdAfterData, 20000);
        if (d == INVALID_SOCKET) return;
        shutdown(d, SD_SEND);
        closesocket(d);
    }
};

// The HTTP side's process: records the text of every answer it is restarted with.
struct Recorder : REQUESTPROCESS {
    FTPGETREQUEST* watched = nullptr;
    std::mutex lock;
    std::vector<std::string> texts;
    std::atomic<int> restarts{0};
    BBOOL RestartProcess() override {
        std::lock_guard<std::mutex> g(lock);
        char text[512] = "";
        BUFFER out(text, sizeof text);
        if (watched && watched->result) watched->result->GetMsgText(out);
        texts.push_back(text);
        restarts++;
        return TRUE;
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> g(lock);
        return texts;
    }
};

struct RetrievalTest : qvtest::ScratchDirTest {
    RetrievalTest() : ScratchDirTest("ftpget") {}
    SVRSYSTEM* svr = nullptr;
    FTPAPPTYPE* type = nullptr;
    FTPDEFINITION* definition = nullptr;

    void SetUp() override {
        ScratchDirTest::SetUp();
        WSADATA w;
        WSAStartup(MAKEWORD(2, 2), &w);
        svr = new SVRSYSTEM(FALSE, FALSE);
        svr->prepare();
        _pSvr = svr;
        svr->ready = TRUE;
        svr->maxUsers = 10;
        FILE* f = std::fopen("QUORHUB.INI", "w");
        std::fputs("[FTP File Types]\n*.txt=text/plain\n*.=text/x-none\n", f);
        std::fclose(f);
        svr->mainProfile.ReadFile("QUORHUB.INI", TRUE);
    }
    // servicePort 0: no proxy listener, retrievals only.
    void Start(int outboundPort, int servicePort = 0) {
        type = new FTPAPPTYPE;
        type->prepare();
        std::snprintf(type->Settings()->tcpServicePort, sizeof type->Settings()->tcpServicePort, "%d", servicePort);
        std::strcpy(type->Settings()->tcpLink, "TCP/IP Default");
        type->Settings()->tcpConnections = 8;
        std::snprintf(type->Settings()->outboundPort, sizeof type->Settings()->outboundPort, "%d", outboundPort);
        definition = dynamic_cast<FTPDEFINITION*>(type->CreateAppDefinition());
        // Its own worker thread, as in a gateway of one service per instance.
        definition->shared = FALSE;
        if (APPINSTANCE* i = definition->instances.First()) i->shared = FALSE;
        ASSERT_TRUE(definition->StartCommunications());
    }
    void StopService() {
        if (definition) {
            definition->StopCommunications();
            definition->freeobj();
            definition = nullptr;
        }
        if (type) {
            type->definition = nullptr;
            type->freeobj();
            type = nullptr;
        }
    }
    void TearDown() override {
        StopService();
        _pSvr = nullptr;
        svr->freeobj();
        ScratchDirTest::TearDown();
    }

    // The file object an HTTP fetch hands over, and a requester; both kept for the checks.
    static DATAOBJECT* FileObject() {
        DATAOBJECT* object = new DATAOBJECT(nullptr, "ftp-file", TRUE, 0, 0);
        object->prepare();
        return object;
    }
    static Recorder& NewRecorder() {
        Recorder& rec = *new Recorder;
        rec.prepare();
        return rec;
    }

    // Runs one retrieval to its end; the texts the requester was given.
    std::vector<std::string> Fetch(const char* path, long port, DATAOBJECT* object, Recorder& rec, int restarts,
                                   DWORD limitMs = 20000) {
        FTPGETREQUEST* g = _pFTPGenerateRetrieve("127.0.0.1", path, object, port);
        g->prepare();  // kept for the checks
        rec.watched = g;
        g->originProcess = &rec;
        EXPECT_TRUE(definition->QueueRequest(static_cast<DATAREQUEST*>(g)));
        EXPECT_TRUE(qvtest::WaitFor([&] { return rec.restarts >= restarts && g->done; }, limitMs)) << path;
        std::vector<std::string> texts = rec.Texts();
        rec.watched = nullptr;
        g->freeobj();
        return texts;
    }
};

const std::string STARTED = "200 Requested action has started.\r\nContent-Type = ";

TEST_F(RetrievalTest, FileIsFetchedWithItsCommandsInOrder) {
    ScriptedServer s;
    s.replies = {{"USER", "331 password\r\n"}, {"CWD", "550 not a directory\r\n"}, {"RETR", "150 go\r\n"}};
    s.data = std::string(300000, 'x') + "end";
    s.Start();
    Start(s.port);
    svr->options.servers.mailAddress[0] = 0;
    DATAOBJECT* object = FileObject();
    Recorder& rec = NewRecorder();
    auto texts = Fetch("/pub/notes.txt", 0, object, rec, 2);
    rec.freeobj();
    ASSERT_GE(texts.size(), 1u);
    EXPECT_EQ(STARTED + "text/plain\r\n", texts[0]);
    auto seen = s.Seen();
    ASSERT_GE(seen.size(), 6u);
    EXPECT_EQ("USER anonymous", seen[0]);
    EXPECT_EQ("PASS 127.0.0.1", seen[1]);  // no mail address, no login password: the local address
    EXPECT_EQ(0u, seen[2].find("PORT 127,0,0,1,"));
    EXPECT_EQ("CWD /pub/notes.txt", seen[3]);
    EXPECT_EQ("TYPE A", seen[4]);
    EXPECT_EQ("RETR /pub/notes.txt", seen[5]);
    EXPECT_EQ(6u, seen.size()) << "no QUIT";
    EXPECT_TRUE(object->defined);
    if (object->pooled) {
        EXPECT_EQ((long)s.data.size(), object->DataLength());
    }
    object->freeobj();
}

TEST_F(RetrievalTest, RepliesAndTypesTable) {
    struct Case {
        const char* what;
        const char* path;
        std::map<std::string, std::string> replies;
        bool connectData, dropAfterStart, closedPort;
        std::string want;  // the last text the requester was given
        const char* type;  // "TYPE A" or "TYPE I"; null: not reached
    } cases[] = {
        {"directory", "/pub", {{"CWD", "250 ok\r\n"}, {"LIST", "125 open\r\n"}}, true, false, false,
         STARTED + "text/directory\r\n", "TYPE A"},
        {"no extension, 2xx to USER", "/bin/file", {{"USER", "230 in\r\n"}, {"CWD", "550 no\r\n"}, {"RETR", "150 go\r\n"}},
         true, false, false, STARTED + "text/x-none\r\n", "TYPE A"},
        {"unknown type", "/a.bin", {{"USER", "331 p\r\n"}, {"CWD", "550 no\r\n"}, {"RETR", "150 go\r\n"}}, true, false,
         false, STARTED + "application/octet-stream\r\n", "TYPE I"},
        {"550 to RETR", "/a.bin", {{"CWD", "550 no\r\n"}, {"RETR", "550 No such file.\r\n"}}, true, false, false,
         "550 No such file.\r\n", "TYPE I"},
        {"a 2xx failure text", "/a.bin", {{"CWD", "550 no\r\n"}, {"TYPE", "250 odd\r\n"}, {"RETR", "226 odd\r\n"}},
         true, false, false, "550 Requested action not taken. File is not available.\r\n", "TYPE I"},
        {"data never connected", "/a.bin", {{"CWD", "550 no\r\n"}, {"RETR", "150 go\r\n"}}, false, true, false,
         "425 Unable to open the data port connection!\r\n", "TYPE I"},
        {"unreachable", "/a.bin", {}, true, false, true, "420 Unable to connect to the specified host.\r\n", nullptr},
    };
    for (auto& c : cases) {
        ScriptedServer s;
        s.replies = c.replies;
        s.data = "listing or file";
        s.connectData = c.connectData;
        s.dropAfterStart = c.dropAfterStart;
        if (!c.closedPort) s.Start();
        int port = s.port;
        if (c.closedPort) closesocket(s.listener);
        Start(c.closedPort ? port : 21);
        Recorder& rec = NewRecorder();
        auto texts = Fetch(c.path, c.closedPort ? 0 : s.port, nullptr, rec, 1);
        rec.freeobj();
        ASSERT_FALSE(texts.empty()) << c.what;
        EXPECT_EQ(c.want, texts.back()) << c.what;
        auto seen = s.Seen();
        bool typed = false;
        for (auto& l : seen) typed = typed || l == (c.type ? c.type : "");
        if (c.type) {
            EXPECT_TRUE(typed) << c.what;
        }
        if (c.replies.count("USER") && c.replies.at("USER")[0] == '2') {
            EXPECT_EQ(0u, seen.at(1).find("PORT ")) << c.what << ": no PASS after a 2xx";
        }
        StopService();
    }
}

// More retrievals one after another than the service has connections: each
// gives back its control connection and its data port when it ends.
TEST_F(RetrievalTest, RetrievalsBeyondTheConnectionLimitAllSucceed) {
    ScriptedServer s;
    s.replies = {{"USER", "331 password\r\n"}, {"CWD", "550 no\r\n"}, {"RETR", "150 go\r\n"}};
    s.data = "file";
    s.sessions = 20;
    s.Start();
    Start(s.port);
    for (int n = 0; n < s.sessions; n++) {
        DATAOBJECT* object = FileObject();
        Recorder& rec = NewRecorder();
        auto texts = Fetch("/a.bin", 0, object, rec, 2);
        rec.freeobj();
        ASSERT_FALSE(texts.empty()) << n;
        EXPECT_EQ(STARTED + "application/octet-stream\r\n", texts[0]) << n;
        EXPECT_TRUE(object->defined) << n;
        object->freeobj();
        if (HasFailure()) break;
    }
}

// Line 1 of the line policy as a dial-up interface that comes up when the test says so.
struct DemandLine : LINELAYER {
    TCPINTERFACE* line;
    std::atomic<int> dials{0};
    explicit DemandLine(TCPINTERFACE* l) : line(l) {}
    LINKINTERFACE* FindRelativeLine(int n) override { return n == 1 ? line : nullptr; }
    BBOOL GetLineState(int n, BBOOL) override { return n == 1 && line->connected; }
    BBOOL SetLineState(int, BBOOL up) override {
        if (up) ++dials;
        return TRUE;
    }
    void ShutDown(BBOOL) override {}
    long ActiveRequests(LINKINTERFACE*) override { return 0; }
    void HangUp(LINKINTERFACE*) override {}
    void EnableRouting(LINKINTERFACE*) override {}
    void DisableRouting(LINKINTERFACE*) override {}
    void SendKeepAlive(LINKINTERFACE*) override {}
    void RefreshInterfaces() override {}
    void PlayLineSound(const char*, BBOOL) override {}
    void ShowBox(const char*, const char*) override {}
};

struct DialRetrievalTest : RetrievalTest {
    TCPINTERFACE* line = nullptr;
    DemandLine* layer = nullptr;

    // The outbound interfaces are one dial-up line at 127.0.0.1, down; it dials on demand.
    void UseLine() {
        line = new TCPINTERFACE("Office");
        line->prepare();
        line->dialUp = TRUE;
        line->lineNumber = 1;
        std::strcpy(line->addressText, "127.0.0.1");
        layer = new DemandLine(line);
        NETWORKINTERFACE& lines = svr->lines;
        lines.UseLayer(layer);
        lines.lineSetThreads = FALSE;
        lines.lineCount = 1;
        std::strcpy(lines.lines[0].phonebookEntry, "Office");
        lines.connectUponRequest = TRUE;
        lines.started = TRUE;
    }
    // The interface list gives its items back when the last TCP service stops: listed again at every start.
    void Start(int outboundPort) {
        if (!_pTCPIPInterfaces->bFindCell(line).target) {
            line->prepare();  // the list's reference
            _pTCPIPInterfaces->Add(*line);
        }
        RetrievalTest::Start(outboundPort);
    }
    void TearDown() override {
        RetrievalTest::TearDown();
        if (line) {
            bSPOINTER& cell = _pTCPIPInterfaces->bFindCell(line);
            if (cell.target) {
                _pTCPIPInterfaces->Remove(cell);
                line->freeobj();
            }
            line->freeobj();
        }
        delete layer;
    }
};

// The gateway's data connection of the retrieval rec watches is up and has bytes.
bool GatewayHasData(Recorder& rec) {
    FTPGETREQUEST* g = rec.watched;
    FTPCONNECTION* server = g ? g->server : nullptr;
    FTPCONNECTION* data = server ? server->AcquireData() : nullptr;
    const bool has = data && data->dataConnected && data->receivedBytes > 0;
    if (data) data->freeobj();
    return has;
}

TEST_F(DialRetrievalTest, ARetrievalDialsTheLineAndLogsInOnceItIsUp) {
    ScriptedServer s;
    s.replies = {{"USER", "331 password\r\n"}, {"CWD", "550 no\r\n"}, {"RETR", "150 go\r\n"}};
    s.data = std::string(200000, 'd');
    s.Start();
    UseLine();
    Start(s.port);
    // The line comes up once dialled, as the stand-in layer reports it.
    std::thread connect([&] {
        if (!qvtest::WaitFor([&] { return layer->dials.load() > 0; })) return;
        line->connected = TRUE;
        svr->lines.ProcessCommConnect(line);
    });
    DATAOBJECT* object = FileObject();
    Recorder& rec = NewRecorder();
    auto texts = Fetch("/a.bin", 0, object, rec, 2);
    connect.join();
    rec.freeobj();
    EXPECT_EQ(1, layer->dials.load());
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(STARTED + "application/octet-stream\r\n", texts[0]);
    EXPECT_TRUE(object->defined);
    auto seen = s.Seen();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ("USER anonymous", seen[0]) << "logged in once, after the dial";
    object->freeobj();
}

TEST_F(DialRetrievalTest, ALineDropMidTransferIsAnAbortedTransfer) {
    ScriptedServer s;
    s.replies = {{"USER", "331 password\r\n"}, {"CWD", "550 no\r\n"}, {"RETR", "150 go\r\n"}};
    s.data = std::string(200000, 'd');
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    s.holdAfterData = release;
    s.Start();
    UseLine();
    line->connected = TRUE;
    svr->lines.lines[0].connected = TRUE;
    Start(s.port);
    DATAOBJECT* object = FileObject();
    Recorder& rec = NewRecorder();
    // The line drops once the gateway has part of the file.
    std::thread drop([&] {
        if (qvtest::WaitFor([&] { return GatewayHasData(rec); })) line->EndLinks();
        SetEvent(release);
    });
    auto texts = Fetch("/a.bin", 0, object, rec, 2);
    drop.join();
    rec.freeobj();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ("525 Transfer aborted by the server!\r\n", texts.back());
    EXPECT_FALSE(object->defined) << "the object is not complete";
    EXPECT_EQ(0, layer->dials.load()) << "the line was up";
    object->freeobj();
    CloseHandle(release);
}

// A plain active-mode FTP client: enough to fetch one file.
struct FtpClient {
    SOCKET control = INVALID_SOCKET;
    std::string got;

    ~FtpClient() {
        if (control != INVALID_SOCKET) closesocket(control);
    }
    bool Connect(int port) {
        control = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = Loopback(port);
        return connect(control, (sockaddr*)&a, sizeof a) == 0;
    }
    static sockaddr_in Loopback(int port) {
        sockaddr_in a = {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons((u_short)port);
        return a;
    }
    // One whole reply (the last line of a multi-line one); empty once closed.
    std::string Reply() {
        std::string first;
        for (;;) {
            size_t at = got.find("\r\n");
            if (at == std::string::npos) {
                char buf[4096];
                int n = recv(control, buf, sizeof buf, 0);
                if (n <= 0) return "";
                got.append(buf, (size_t)n);
                continue;
            }
            std::string line = got.substr(0, at);
            got.erase(0, at + 2);
            if (first.empty()) first = line;
            if (line.size() >= 4 && line.compare(0, 3, first, 0, 3) == 0 && line[3] == ' ') return line;
        }
    }
    std::string Ask(const std::string& line) {
        std::string text = line + "\r\n";
        send(control, text.data(), (int)text.size(), 0);
        return Reply();
    }
    bool Login(int port, const std::string& user) {
        return Connect(port) && !Reply().empty() && Ask("USER " + user)[0] == '3' && Ask("PASS x")[0] == '2';
    }
    // PORT for a listener of its own, then command (none: the PORT alone); the
    // bytes received, 0 for the PORT alone, or -1.
    long long Transfer(const std::string& command) {
        SOCKET listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = Loopback(0);
        bind(listener, (sockaddr*)&a, sizeof a);
        listen(listener, 1);
        int n = sizeof a;
        getsockname(listener, (sockaddr*)&a, &n);
        unsigned p = ntohs(a.sin_port);
        long long total = -1;
        if (Ask("PORT 127,0,0,1," + std::to_string(p >> 8) + "," + std::to_string(p & 255))[0] == '2') {
            if (command.empty()) {
                total = 0;
            } else if (Ask(command)[0] == '1') {
                SOCKET data = accept(listener, nullptr, nullptr);
                std::vector<char> buf(65536);
                total = 0;
                for (int got; (got = recv(data, buf.data(), (int)buf.size(), 0)) > 0;) total += got;
                closesocket(data);
                if (Reply().compare(0, 3, "226") != 0) total = -1;
            }
        }
        closesocket(listener);
        return total;
    }
    // Logs in as user, fetches path; the bytes received, or -1.
    long long Retrieve(int port, const std::string& user, const std::string& path) {
        return Login(port, user) ? Transfer("RETR " + path) : -1;
    }
};

int FreePort() {
    SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = FtpClient::Loopback(0);
    bind(probe, (sockaddr*)&a, sizeof a);
    int n = sizeof a;
    getsockname(probe, (sockaddr*)&a, &n);
    closesocket(probe);
    return ntohs(a.sin_port);
}

// Places the FTP service's outbound connections take (its wake-up connection among them).
long OutboundInUse(FTPDEFINITION* definition) {
    APPINSTANCE* i = definition ? definition->instances.First() : nullptr;
    TCPCONNECTION* own = i ? dynamic_cast<FTPAPPINSTANCE*>(i)->connection : nullptr;
    TCPSOCKLINK* link = own ? dynamic_cast<TCPSOCKLINK*>(own->link) : nullptr;
    return link ? link->secondaries.count : -1;
}

// Proxied sessions, more than the service has connections, one after another:
// each gives back what it took, its server connection and its data ports,
// whether the server connected to a port at once, at the transfer or never.
TEST_F(RetrievalTest, ProxiedSessionsGiveBackTheirConnections) {
    struct Case {
        const char* what;
        bool connectAtPort;
        const char* command;  // after a PORT; null: no PORT
    } cases[] = {
        {"login only", false, nullptr},
        {"a PORT never used", false, ""},
        {"a PORT the server connects to at once", true, ""},
        {"a RETR", false, "RETR /a.bin"},
        {"a RETR, connected at the PORT", true, "RETR /a.bin"},
    };
    APPUSER* local = new APPUSER("127.0.0.1", "PC");
    local->prepare();
    svr->options.users.users.Add(*local);
    for (auto& c : cases) {
        ScriptedServer s;
        s.replies = {{"USER", "331 password\r\n"}, {"RETR", "150 go\r\n"}};
        s.data = "file";
        s.sessions = 10;  // the service has 8
        s.connectAtPort = c.connectAtPort;
        s.Start();
        const int servicePort = FreePort();
        Start(s.port, servicePort);
        const long idle = 1;  // its wake-up connection
        ASSERT_TRUE(qvtest::WaitFor([&] { return OutboundInUse(definition) == idle; })) << c.what;
        for (int n = 0; n < s.sessions && !HasFailure(); n++) {
            {
                FtpClient client;
                ASSERT_TRUE(client.Login(servicePort, "anonymous@127.0.0.1")) << c.what << ", session " << n;
                if (c.command) {
                    EXPECT_EQ(c.command[0] ? 4 : 0, client.Transfer(c.command)) << c.what << ", session " << n;
                }
                EXPECT_EQ(0u, client.Ask("QUIT").find("221")) << c.what << ", session " << n;
            }
            EXPECT_TRUE(qvtest::WaitFor([&] { return OutboundInUse(definition) == idle; }, 10000))
                << c.what << ", session " << n << ": " << OutboundInUse(definition) << " in use";
        }
        StopService();
    }
}

double Seconds(DWORD since) { return (GetTickCount() - since) / 1000.0; }

// 50 MB fetched straight from the server, through the proxy, and as a retrieval.
TEST_F(RetrievalTest, DISABLED_FiftyMegabytesDirectThroughTheProxyAndAsARetrieval) {
    const size_t size = 50u * 1024 * 1024;
    std::string file(size, 0);
    for (size_t i = 0; i < size; i++) file[i] = (char)(i * 7);
    auto server = [&](ScriptedServer& s) {
        s.replies = {{"USER", "331 password\r\n"}, {"CWD", "550 no\r\n"}, {"RETR", "150 go\r\n"}};
        s.data = file;
        s.Start();
    };
    APPUSER* local = new APPUSER("127.0.0.1", "PC");
    local->prepare();
    svr->options.users.users.Add(*local);

    ScriptedServer direct, proxied, retrieved;
    server(direct);
    server(proxied);
    server(retrieved);
    const int servicePort = FreePort();
    Start(proxied.port, servicePort);

    DWORD t = GetTickCount();
    EXPECT_EQ((long long)size, FtpClient().Retrieve(direct.port, "anonymous", "big.bin"));
    const double directSeconds = Seconds(t);

    t = GetTickCount();
    EXPECT_EQ((long long)size, FtpClient().Retrieve(servicePort, "anonymous@127.0.0.1", "big.bin"));
    const double proxySeconds = Seconds(t);

    t = GetTickCount();
    DATAOBJECT* object = FileObject();
    Recorder& rec = NewRecorder();
    auto texts = Fetch("/big.bin", retrieved.port, object, rec, 2, 300000);
    const double retrievalSeconds = Seconds(t);
    rec.freeobj();
    EXPECT_TRUE(object->defined);
    object->freeobj();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(STARTED + "application/octet-stream\r\n", texts[0]);

    auto rate = [&](double s) { return s > 0 ? size / 1048576.0 / s : 0.0; };
    std::printf("50 MB: direct %.2f s (%.1f MB/s), through the proxy %.2f s (%.1f MB/s), "
                "as a retrieval %.2f s (%.1f MB/s)\n",
                directSeconds, rate(directSeconds), proxySeconds, rate(proxySeconds), retrievalSeconds,
                rate(retrievalSeconds));
}

}  // namespace
