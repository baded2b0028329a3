// The permitted-user chain: exact and template entries, look-ups outside the
// lock, and the chain kept in step with the authorized users.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "SvrSystem.h"
#include "TcpAppType.h"
#include "TcpConnection.h"
#include "TcpDefinition.h"
#include "TextHelpers.h"
#include "WinSockControl.h"
#include "WinSockLink.h"

namespace {

struct Users : ::testing::Test {
    SVRSYSTEM* svr = nullptr;
    TCPAPPTYPE* type = nullptr;
    TCPDEFINITION* d = nullptr;
    std::map<std::string, int> lookups;
    TCPDEFINITION::RESOLVER resolve = [this](const char* host) -> std::string {
        lookups[host]++;
        if (std::strcmp(host, "localhost") == 0) return "127.0.0.1";
        if (std::strchr("0123456789", host[0])) return host;
        return "";
    };

    void SetUp() override {
        svr = new SVRSYSTEM(FALSE, FALSE);
        svr->prepare();
        _pSvr = svr;
        const char* list[][2] = {{"192.168.1.*", "PC"}, {"192.168.1.7", "Seven"}, {"10.0.*", "Ten"},
                                 {"10.0.0.*", "TenZero"}, {"localhost", "Local"}, {"no.such.host", "Nobody"},
                                 {".*", "Dot"}};
        for (auto& u : list) {
            APPUSER* user = new APPUSER(u[0], u[1]);
            user->prepare();
            svr->options.users.users.Add(*user);
        }
        type = new TCPAPPTYPE("T", "T", TRUE, FALSE, FALSE);
        type->prepare();
        d = new TCPDEFINITION(type, FALSE);
        d->prepare();
    }
    void TearDown() override {
        d->freeobj();
        type->freeobj();
        _pSvr = nullptr;
        svr->freeobj();
    }
    std::string Name(const char* client) {
        TCPUSER* u = d->FindPermittedUser(client, resolve, nullptr);
        return u ? u->name : "(none)";
    }
};

TEST_F(Users, ExactBeatsTemplateAndTheFirstTemplateWins) {
    struct {
        const char* client;
        const char* name;
    } cases[] = {
        {"192.168.1.23", "PC23"}, {"192.168.1.7", "Seven"}, {"10.0.0.5", "Ten0.5"},
        {"127.0.0.1", "Local"},   {"172.16.0.1", "(none)"}, {".*", "(none)"},
    };
    for (auto& c : cases) EXPECT_EQ(c.name, Name(c.client)) << c.client;
}

TEST_F(Users, TemplateRecordIsReusedAndNamesResolveOnce) {
    TCPUSER* first = d->FindPermittedUser("192.168.1.23", resolve, nullptr);
    TCPUSER* again = d->FindPermittedUser("192.168.1.23", resolve, nullptr);
    EXPECT_EQ(first, again);
    EXPECT_NE(first, d->FindPermittedUser("192.168.1.24", resolve, nullptr));
    Name("127.0.0.1");
    Name("127.0.0.1");
    EXPECT_EQ(1, lookups["localhost"]);
    // A failed name is not looked up again at every login.
    EXPECT_EQ(1, lookups["no.such.host"]);
}

TEST_F(Users, WildcardAdmitsEveryone) {
    APPUSER all("*.*", "Guest");
    d->UpdateAppUser(&all, FALSE);
    EXPECT_EQ("Guest2.16.0.1", Name("172.16.0.1"));
}

TEST_F(Users, RemoveAndRenameKeepInUseRecordsUntilLogout) {
    TCPUSER* seven = d->FindPermittedUser("192.168.1.7", resolve, nullptr);
    ASSERT_NE(nullptr, seven);
    seven->inUse = 1;
    APPUSER gone("192.168.1.7", "Seven");
    d->UpdateAppUser(&gone, TRUE);
    EXPECT_TRUE(seven->removeWhenFree);
    EXPECT_EQ("Seven", Name("192.168.1.7"));  // kept until its last logout
    seven->inUse = 0;
    seven->removeWhenFree = FALSE;
    d->RenameAppUser("Seven", "Eight");
    EXPECT_EQ("Eight", Name("192.168.1.7"));
    d->RenameAppUser("Eight", "");
    EXPECT_EQ("PC7", Name("192.168.1.7"));
    APPUSER moved("10.9.9.9", "Local");
    d->UpdateAppUser(&moved, FALSE);
    EXPECT_EQ("(none)", Name("127.0.0.1"));
    EXPECT_EQ("Local", Name("10.9.9.9"));
}

// Logins and logouts of clients of one template entry from several threads at
// once: every record they share and the gateway's user count end at zero.
TEST_F(Users, RacingLoginsAndLogoutsEndAtZero) {
    svr->ready = TRUE;
    svr->maxUsers = 1000;
    _strzcpy(svr->options.users.ownerName, "Admin", sizeof svr->options.users.ownerName);
    WINSOCKCONTROL* control = new WINSOCKCONTROL;
    control->prepare();
    const int threads = 8, rounds = 20;
    std::vector<TCPCONNECTION*> clients;
    for (int i = 0; i < threads; ++i) {
        TCPCONNECTION* c = new TCPCONNECTION(d, *control, i % 2 ? "192.168.1.23" : "192.168.1.24", "0", "TCPIP");
        c->prepare();
        c->link = new WINSOCKLINK(*control, nullptr, LINK_SERVER_CONNECT, 0);
        c->link->prepare();
        clients.push_back(c);
    }
    std::atomic<int> refused{0};
    std::vector<std::thread> running;
    for (TCPCONNECTION* c : clients)
        running.emplace_back([c, &refused] {
            for (int r = 0; r < rounds; ++r) {
                if (c->SetLoginUser(c->name, nullptr, nullptr) != LOGIN_IN) ++refused;
                c->SetLoginUser(nullptr, nullptr, nullptr);
            }
        });
    for (std::thread& t : running) t.join();
    EXPECT_EQ(0, refused.load());
    EXPECT_EQ(0, svr->manager.loggedIn);
    for (const char* client : {"192.168.1.23", "192.168.1.24"}) {
        TCPUSER* u = d->FindPermittedUser(client, resolve, nullptr);
        ASSERT_NE(nullptr, u) << client;
        EXPECT_EQ(0, u->inUse) << client;
    }
    for (TCPCONNECTION* c : clients) {
        COMMLINK* link = c->link;
        c->link = nullptr;
        c->freeobj();
        link->freeobj();
    }
    control->freeobj();
}

}  // namespace
