// The permitted-user chain: exact and template entries, look-ups outside the
// lock, and the chain kept in step with the authorized users.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "SvrSystem.h"
#include "TcpAppType.h"
#include "TcpDefinition.h"

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

}  // namespace
