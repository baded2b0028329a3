// route.exe against the simulated default route, started by name from PATH
// as the gateway starts ROUTE.EXE.
#include <gtest/gtest.h>
#include "QvWindows.h"

#include "Scenario.h"
#include "StandInHarness.h"

using qvtest::DialUpStandIns;
using qvtest::RemoteAccess;

TEST(Route, LinesAgainstTheDefaultRoute) {
    struct Case {
        const char* route;  // [Route] keys before
        const char* args;
        unsigned long exit;
        const char* defaultAfter;
        const char* persistent;  // the PersistentRoutes value after, "" for none
    } cases[] = {
        {"Default=", "ADD 0.0.0.0 MASK 0.0.0.0 127.0.0.2", 0, "127.0.0.2", ""},
        {"Default=10.0.0.1", "ADD 0.0.0.0 MASK 0.0.0.0 127.0.0.2", 1, "10.0.0.1", ""},
        {"Default=10.0.0.1", "CHANGE 0.0.0.0 MASK 0.0.0.0 127.0.0.2", 0, "127.0.0.2", ""},
        {"Default=", "CHANGE 0.0.0.0 MASK 0.0.0.0 127.0.0.2", 1, "", ""},
        {"Default=127.0.0.2", "DELETE 0.0.0.0 MASK 0.0.0.0 127.0.0.2", 0, "", ""},
        {"Default=10.0.0.1", "DELETE 0.0.0.0 MASK 0.0.0.0 127.0.0.2", 1, "10.0.0.1", ""},
        {"Default=\r\nFailAdd=1", "ADD 0.0.0.0 MASK 0.0.0.0 127.0.0.2", 1, "", ""},
        {"Default=10.0.0.1\r\nFailChange=1", "CHANGE 0.0.0.0 MASK 0.0.0.0 127.0.0.2", 1, "10.0.0.1", ""},
        {"Default=127.0.0.2\r\nFailDelete=1", "DELETE 0.0.0.0 MASK 0.0.0.0 127.0.0.2", 1, "127.0.0.2", ""},
        {"Default=", "-p ADD 0.0.0.0 MASK 0.0.0.0 10.0.0.1 METRIC 1", 0, "10.0.0.1", "0.0.0.0,0.0.0.0,10.0.0.1,1"},
        {"Default=127.0.0.2", "-p CHANGE 0.0.0.0 MASK 0.0.0.0 10.0.0.1 METRIC 2", 0, "10.0.0.1",
         "0.0.0.0,0.0.0.0,10.0.0.1,2"},
        {"Default=127.0.0.2", "-p ADD 0.0.0.0 MASK 0.0.0.0 10.0.0.1 METRIC 1", 1, "127.0.0.2", ""},
        {"Default=", "PRINT", 2, "", ""},
        {"Default=", "ADD 0.0.0.0  MASK 0.0.0.0 127.0.0.2", 2, "", ""},
        {"Default=", "ADD 0.0.0.0 MASK 0.0.0.0 127.0.0.256", 2, "", ""},
        {"Default=", "ADD 0.0.0.0 MASK 255.0.0.0 127.0.0.2", 2, "", ""},
        {"Default=", "-p ADD 0.0.0.0 MASK 0.0.0.0 10.0.0.1", 2, "", ""},
        {"Default=127.0.0.2", "-p DELETE 0.0.0.0 MASK 0.0.0.0 127.0.0.2 METRIC 1", 2, "127.0.0.2", ""},
        {"Default=", "", 2, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.route) + " | " + c.args);
        DialUpStandIns s(RemoteAccess::Nt);
        s.WriteScenario(std::string("[Route]\r\n") + c.route + "\r\n");
        auto r = qvtest::RunProgram(std::string("route.exe ") + c.args, 20000);
        ASSERT_TRUE(r.started) << "route.exe is not found on PATH";
        EXPECT_EQ(c.exit, r.exitCode);
        EXPECT_EQ(c.defaultAfter, standin::Scenario::FromText(s.ScenarioText()).Get("Route", "Default"));
        auto routes = DialUpStandIns::PersistentRoutes();
        EXPECT_EQ(c.persistent, routes.empty() ? std::string() : routes[0]);
        EXPECT_GE(1u, routes.size());
        auto lines = s.Calls("route", "ROUTE");
        ASSERT_EQ(1u, lines.size());
        EXPECT_EQ(std::to_string(c.exit), lines[0].result);
        EXPECT_EQ(c.args, lines[0].Field("args"));
    }
}
