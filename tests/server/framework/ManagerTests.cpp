// The service manager over fake services: creation from the registration
// table, start and stop with their commands and log lines, the shared threads.
#include "FrameworkHarness.h"

#include "ChildProcess.h"
#include "ServerIds.h"

using namespace fw;

namespace {

std::vector<std::string> Names(CHAIN<APPTYPE>& chain) {
    std::vector<std::string> out;
    for (bSPOINTER* c = chain.first; c && c->target; c = c->next) out.push_back(CHAIN<APPTYPE>::Cast(c->target)->name);
    return out;
}

std::vector<std::string> Names(CHAIN<APPDEFINITION>& chain) {
    std::vector<std::string> out;
    for (bSPOINTER* c = chain.first; c && c->target; c = c->next)
        out.push_back(CHAIN<APPDEFINITION>::Cast(c->target)->name);
    return out;
}

class Manager : public ServerTest {};

TEST_F(Manager, CreatesEnabledTypesAndDefinitionsInTableOrder) {
    for (BBOOL logging : {FALSE, TRUE}) {
        MakeServer(FALSE);
        MakeTypes({"NNTP", "TELNET"});
        server->config.logAppRequests = logging;
        UseProfile("[Applications]\r\n");
        BUFFER e(error, sizeof error);
        ASSERT_TRUE(server->manager.CreateAppTypes(&server->config, server->mainProfile, &server->systemLog, e));
        EXPECT_EQ(Names(server->manager.types), (std::vector<std::string>{"TELNET", "NNTP"}));
        EXPECT_EQ(server->manager.CreateAppDefinitions(&server->config), 2);
        EXPECT_EQ(Names(server->manager.definitions), (std::vector<std::string>{"TELNET", "NNTP"}));
        EXPECT_EQ(server->manager.pending, 2);
        EXPECT_EQ(types[1]->definition, server->manager.FindApp("TELNET"));
        EXPECT_EQ(types[1]->log->log, &server->systemLog) << "shared mode writes into the system log";
        EXPECT_EQ(types[1]->log->loggingOn, logging);
        EXPECT_EQ(types[0]->log->log, nullptr) << "HTTP was not enabled";
        EXPECT_EQ(server->manager.FindAppType("TELNET"), types[1]);
        EXPECT_EQ(server->manager.FindAppType("telnet"), nullptr);
        EXPECT_EQ(server->manager.FindApp(nullptr), nullptr);
        TearDown();
        SetUp();
    }
}

TEST_F(Manager, BadValueStopsTheRemainingTypes) {
    const struct {
        const char* what;
        const char* section;
        bool ok;
        const char* error;
    } cases[] = {
        {"bad Full Logging", "[FTP Configuration]\r\nFull Logging = MAYBE\r\n", false,
         "Full Logging. Error with application FTP. "},
        {"bad connections without a link", "[FTP Configuration]\r\nTCP/IP Connections = many\r\n", true, ""},
        {"bad connections with a link",
         "[FTP Configuration]\r\nTCP/IP Link = TCPIP\r\nTCP/IP Connections = many\r\n", false,
         "TCP/IP Connections. Error with application FTP. "},
    };
    for (const auto& c : cases) {
        MakeServer(FALSE);
        MakeTypes({"HTTP", "TELNET", "FTP", "NNTP", "POP", "SMTP"});
        UseProfile(c.section);
        BUFFER e(error, sizeof error);
        EXPECT_EQ(server->manager.CreateAppTypes(&server->config, server->mainProfile, &server->systemLog, e), c.ok)
            << c.what;
        EXPECT_STREQ(error, c.error) << c.what;
        if (!c.ok) {
            EXPECT_EQ(Names(server->manager.types), (std::vector<std::string>{"HTTP", "TELNET", "FTP"})) << c.what;
            EXPECT_NE(types[2]->log->log, nullptr) << c.what << ": the failed type's log is set up";
            EXPECT_EQ(types[3]->log->log, nullptr) << c.what;
        }
        TearDown();
        SetUp();
    }
}

QV_CHILD_CASE(NullTypeGlobal) {
    SVRSYSTEM* s = new SVRSYSTEM(FALSE, FALSE);
    _pSvr = s;
    s->config.appTELNET = TRUE;
    _pTELNETAppType = nullptr;
    PROFILE profile;
    char text[256] = {};
    BUFFER e(text, sizeof text);
    s->manager.CreateAppTypes(&s->config, profile, nullptr, e);
}

TEST(ManagerChild, NullTypeGlobalIsFatal) {
    qvtest::ChildResult r = qvtest::RunChild("NullTypeGlobal");
    ASSERT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_NE(r.output.find("'STG101-"), std::string::npos) << r.output;
}

TEST_F(Manager, StartAndStopReportEachDefinition) {
    MakeServer(FALSE);
    MakeTypes({"TELNET", "NNTP"});
    types[3]->start = Behaviour::Fail;
    types[1]->stop = Behaviour::Fail;
    ASSERT_TRUE(StartServices());
    EXPECT_EQ(Commands(), (std::vector<int>{CMD_APP_STARTED, CMD_APP_STARTED, CMD_APP_STARTED, CMD_APP_STOPPED}));
    EXPECT_EQ(server->manager.running, 1) << "a failed start counts neither running";
    EXPECT_EQ(server->manager.pending, 0) << "nor pending";
    EXPECT_EQ(server->manager.starting, nullptr);

    server->manager.StopAppCommunications();
    EXPECT_EQ(Commands(), (std::vector<int>{CMD_APP_STARTED, CMD_APP_STARTED, CMD_APP_STARTED, CMD_APP_STOPPED,
                                            CMD_APP_STOPPED, CMD_APP_STOPPED, CMD_APP_STOPPED}));
    EXPECT_EQ(server->manager.running, 1) << "TELNET stopped abnormally; NNTP never ran, so is not counted off";
    server->systemLog.Close();
    const std::string log = Get("SYSTEM.DAT");
    for (const char* line : {"Starting application TELNET", "WARNING: Unable to start application NNTP",
                             "WARNING: Abnormal termination of application TELNET", "Stopping application NNTP"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

TEST_F(Manager, SharedModeRunsBothMonitorThreadsForOneService) {
    MakeServer(FALSE);
    MakeTypes({"NNTP"});
    ASSERT_TRUE(StartServices());
    ASSERT_NE(_pDataSys->commonThread, nullptr);
    EXPECT_NE(_pDataSys->commonThread->threadId, 0u);
    ASSERT_NE(server->manager.monitorThread, nullptr);
    EXPECT_NE(server->manager.monitorThread->threadId, 0u);
    server->manager.StopAppCommunications();
    EXPECT_EQ(_pDataSys->commonThread, nullptr);
    EXPECT_EQ(server->manager.monitorThread, nullptr);
}

TEST_F(Manager, PerInstanceModeRunsNoMonitorThreads) {
    MakeServer(TRUE);
    MakeTypes({"NNTP"});
    ASSERT_TRUE(StartServices());
    EXPECT_EQ(_pDataSys->commonThread, nullptr);
    EXPECT_EQ(server->manager.monitorThread, nullptr);
    FakeDefinition* d = Definition("NNTP");
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->shared);
    ASSERT_NE(d->instances.First()->thread, nullptr);
}

TEST_F(Manager, DeletingDefinitionsClearsTheTypesDefinition) {
    MakeServer(FALSE);
    MakeTypes({"HTTP"});
    ASSERT_TRUE(StartServices());
    EXPECT_NE(types[0]->definition, nullptr);
    server->manager.StopAppCommunications();
    server->manager.DeleteAppDefinitions();
    EXPECT_EQ(types[0]->definition, nullptr);
    EXPECT_EQ(server->manager.definitions.Count(), 0);
}

}  // namespace
