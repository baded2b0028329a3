// The engine's echo service over real sockets, for tests driven from the
// Linux side with their own clients.
//   qvengine_host [--message] [--limit N] [--aux N] [--send-size N]
// Prints "PORT n" once listening, then "AUX n" for each auxiliary port it
// opens; ends in order (exit code 0) when its input ends or reads "stop".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "EchoService.h"

namespace {

struct Options {
    bool message = false;
    int limit = 20;
    int aux = 0;
    int sendSize = 0;
};

bool Parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool more = i + 1 < argc;
        if (a == "--message") o.message = true;
        else if (a == "--limit" && more) o.limit = std::atoi(argv[++i]);
        else if (a == "--aux" && more) o.aux = std::atoi(argv[++i]);
        else if (a == "--send-size" && more) o.sendSize = std::atoi(argv[++i]);
        else return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: qvengine_host [--message] [--limit N] [--aux N] [--send-size N]\n");
        return 2;
    }
    int code = 0;
    {
        socktest::EchoService echo(o.limit, o.message ? 0 : 1, o.aux, o.sendSize);
        if (!echo.connected) {
            std::printf("FAILED %d\n", (int)echo.listening->lastError);
            std::fflush(stdout);
            code = 1;
        } else {
            std::printf("PORT %u\n", (unsigned)echo.port);
            std::fflush(stdout);
            // Auxiliary ports open on accepts; the driver asks for them with "aux".
            char line[64];
            while (std::fgets(line, sizeof line, stdin) && std::strncmp(line, "stop", 4) != 0) {
                if (std::strncmp(line, "aux", 3) == 0) {
                    CITERATOR<TCPSOCKLINK> walk;
                    for (TCPSOCKLINK* a = walk.Begin(echo.control->auxPorts); a; a = walk.Next())
                        std::printf("AUX %u\n", (unsigned)a->port);
                    walk.End();
                    std::printf("END\n");
                    std::fflush(stdout);
                }
            }
        }
    }
    std::printf("STOPPED\n");
    std::fflush(stdout);
    return code;
}
