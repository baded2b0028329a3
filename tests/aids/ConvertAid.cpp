// A conversion library as the secondary dialer calls one: one function of the
// Windows API calling convention taking (entry, profile path, port record,
// dial parameters). It journals its arguments as component "convert" and
// fills the port record with COM2 at 57600 bit/s.
#include "QvWindows.h"

#include <cstdint>
#include <cstring>

#include "JournalLine.h"
#include "RasRecords.h"

extern "C" int WINAPI ConvertTest(const char* entry, const char* profile, unsigned char* port, ras::DialParams* params) {
    standin::JournalLine j("convert", "ConvertTest");
    j.Field("entry", entry ? entry : "<null>").Field("profile", profile ? profile : "<null>");
    j.Field("params", params ? long(params->size) : -1L);
    if (params) j.Field("paramsEntry", params->entryName).Field("user", params->userName);
    if (port) {
        const uint32_t words[] = {2, 0, 0, 0, 57600};
        std::memcpy(port, words, sizeof words);
        const unsigned char framing[] = {8, 2, 0, 0};
        std::memcpy(port + 12, framing, sizeof framing);
    }
    j.Field("port", port ? "record" : "none").Result(1).Append();
    return 1;
}
