// The time tests run in EST5EDT (read alike by the C runtime under Wine and
// on Windows). Wine's runtime keeps the daylight-saving rules of the first
// local-time call, which the library's own set-up makes: so the zone is set
// before any other static object is made.
#include <cstdlib>
#include <ctime>

namespace {

struct TimeZone {
    TimeZone() {
        _putenv("TZ=EST5EDT");
        _tzset();
    }
};

TimeZone zone __attribute__((init_priority(101)));

}  // namespace
