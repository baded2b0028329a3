#pragma once
// One ROUTE.EXE parameter line against the simulated default route of the
// scenario's [Route] section. Only the five lines the gateway runs are
// understood (blanks and words exactly as it writes them):
//   ADD|CHANGE|DELETE 0.0.0.0 MASK 0.0.0.0 <gateway>
//   -p ADD|CHANGE 0.0.0.0 MASK 0.0.0.0 <gateway> METRIC <metric>
#include <string>

namespace standin {

class RouteCommand {
public:
    enum Kind { Invalid, Add, Change, Delete };
    // Exit codes.
    static const int kDone = 0;
    static const int kRefused = 1;  // the table refuses it, or a Fail key is set
    static const int kBadLine = 2;

    explicit RouteCommand(const std::string& args);

    // Applies the line: updates "Default" and, persistent, the PersistentRoutes value.
    int Run() const;

    Kind kind = Invalid;
    bool persistent = false;
    std::string gateway, metric;
};

}  // namespace standin
