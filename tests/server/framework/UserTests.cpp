// Logins through the framework: states, counts and the user records.
#include "FrameworkHarness.h"

#include <thread>

#include "AppUser.h"

using namespace fw;

namespace {

class Users : public ServerTest {
protected:
    FakeDefinition* Service(BBOOL tessimara = FALSE) {
        MakeServer(FALSE, tessimara);
        MakeTypes({"TELNET"});
        definition = new FakeDefinition(types[1]);
        return definition;
    }
    void TearDown() override {
        for (APPCONNECTION* c : made) c->freeobj();
        made.clear();
        if (definition) definition->freeobj();
        definition = nullptr;
        ServerTest::TearDown();
    }
    APPCONNECTION* Connection(APPUSER* user = nullptr) {
        APPCONNECTION* c = new APPCONNECTION(definition, *_pDefaultLinkControl, "client", "pc1", "23", "Local");
        c->prepare();
        c->user = user;
        made.push_back(c);
        return c;
    }
    SVRAPPMANAGER& M() { return server->manager; }

    FakeDefinition* definition = nullptr;
    std::vector<APPCONNECTION*> made;
};

TEST_F(Users, RefusedWhileNotReadyOrClosing) {
    Service();
    APPUSER listed("10.0.0.1", "pc1", nullptr);
    for (int which = 0; which < 2; ++which) {
        server->ready = which == 0 ? FALSE : TRUE;
        server->closing = which == 1;
        APPCONNECTION* c = Connection(&listed);
        EXPECT_EQ(c->SetLoginUser("10.0.0.1", "pc1", nullptr), LOGIN_NOT_READY) << which;
        EXPECT_EQ(M().loggedIn, 0);
        c->user = nullptr;
    }
}

TEST_F(Users, LimitAndSecondLoginsOfOneUser) {
    Service();
    server->maxUsers = 2;
    APPUSER a("10.0.0.1", "a", nullptr), b("10.0.0.2", "b", nullptr), c("10.0.0.3", "c", nullptr);
    APPCONNECTION* ca = Connection(&a);
    APPCONNECTION* ca2 = Connection(&a);
    APPCONNECTION* cb = Connection(&b);
    APPCONNECTION* cc = Connection(&c);
    EXPECT_EQ(ca->SetLoginUser("10.0.0.1", "a", nullptr), LOGIN_IN);
    EXPECT_EQ(ca2->SetLoginUser("10.0.0.1", "a", nullptr), LOGIN_IN);
    EXPECT_EQ(M().loggedIn, 1) << "a second login of a logged-in user counts no new user";
    EXPECT_EQ(a.inUse, 2);
    EXPECT_EQ(cb->SetLoginUser("10.0.0.2", "b", nullptr), LOGIN_IN);
    EXPECT_EQ(cc->SetLoginUser("10.0.0.3", "c", nullptr), LOGIN_USER_LIMIT);
    EXPECT_EQ(M().loggedIn, 2);
    EXPECT_EQ(c.inUse, 0) << "a refused login counts nothing";
    EXPECT_EQ(M().peakUsers, 2);
    ca->SetLoginUser(nullptr, nullptr, nullptr);
    EXPECT_EQ(M().loggedIn, 2);
    ca2->SetLoginUser(nullptr, nullptr, nullptr);
    EXPECT_EQ(M().loggedIn, 1);
    EXPECT_EQ(cc->SetLoginUser("10.0.0.3", "c", nullptr), LOGIN_IN) << "room again";
    for (APPCONNECTION* x : made) x->user = x->userOwned ? x->user : nullptr;
    cb->loginState = cc->loginState = LOGIN_NONE;
}

TEST_F(Users, LogoutWithoutLoginChangesNothing) {
    Service();
    APPUSER listed("10.0.0.1", "pc1", nullptr);
    listed.inUse = 1;
    APPCONNECTION* c = Connection(&listed);
    EXPECT_EQ(c->SetLoginUser(nullptr, nullptr, nullptr), LOGIN_NONE);
    EXPECT_EQ(M().loggedIn, 0);
    EXPECT_EQ(listed.inUse, 1);
    EXPECT_EQ(c->user, nullptr) << "the listed user is only forgotten";
}

TEST_F(Users, NoUserRecordIsRefusedInThisEdition) {
    for (BBOOL security : {FALSE, TRUE}) {
        FakeDefinition* d = Service();
        d->userSecurity = security;
        APPCONNECTION* c = Connection();
        EXPECT_EQ(c->SetLoginUser("10.0.0.9", "pc9", nullptr), LOGIN_NO_USER) << security;
        EXPECT_EQ(M().loggedIn, 0) << security;
        EXPECT_EQ(c->user, nullptr);
        TearDown();
        SetUp();
    }
}

TEST_F(Users, TemporaryUserLivesUntilLogout) {
    Service(TRUE);
    APPCONNECTION* c = Connection();
    EXPECT_EQ(c->SetLoginUser("10.0.0.9", "guest", "pw"), LOGIN_IN);
    ASSERT_NE(c->user, nullptr);
    EXPECT_TRUE(c->userOwned);
    EXPECT_STREQ(c->user->address, "10.0.0.9");
    EXPECT_STREQ(definition->GetUserName(c), "10.0.0.9");
    EXPECT_EQ(M().loggedIn, 1);
    EXPECT_EQ(c->SetLoginUser(nullptr, nullptr, nullptr), LOGIN_NONE);
    EXPECT_EQ(c->user, nullptr);
    EXPECT_EQ(M().loggedIn, 0);
}

TEST_F(Users, RacingLoginsAndLogoutsEndAtZero) {
    Service(TRUE);
    const int threads = 8, rounds = 200;
    std::vector<APPCONNECTION*> conns;
    for (int t = 0; t < threads; ++t) conns.push_back(Connection());
    std::vector<std::thread> run;
    for (int t = 0; t < threads; ++t)
        run.emplace_back([&, t] {
            for (int i = 0; i < rounds; ++i) {
                conns[t]->SetLoginUser("10.0.0.1", "x", nullptr);
                conns[t]->SetLoginUser(nullptr, nullptr, nullptr);
            }
        });
    for (auto& r : run) r.join();
    EXPECT_EQ(M().loggedIn, 0);
    EXPECT_GE(M().peakUsers, 1);
    EXPECT_LE(M().peakUsers, threads);
}

}  // namespace
