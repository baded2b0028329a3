// The engine's socket layer over psock32, as quorhub uses it when its
// profile names psock32: the binding table by ordinal, and an echo service
// and its clients carried through psock32 and the stand-ins.
#include "SocketFixture.h"
#include "SysHelpers.h"

#include "../../aids/TestAids.h"

#include <cstring>

namespace {

std::string PsockPath() { return qvaid::BuildPath("sockets\\psock32.dll"); }

// The stand-ins lie beside psock32; the normal search finds them there.
struct BesidePsock {
    BesidePsock() {
        std::string path = PsockPath();
        SetDllDirectoryA(path.substr(0, path.size() - strlen("psock32.dll")).c_str());
    }
    ~BesidePsock() { SetDllDirectoryA(nullptr); }
};

TEST(EngineOverPsock32, TheWinsockTableBindsEveryRowByOrdinal) {
    BesidePsock beside;
    std::string path = PsockPath();
    ASSERT_FALSE(path.empty());
    HMODULE m = SysLibraryLoad(path.c_str(), WinSockEntryTable(0));
    ASSERT_NE(nullptr, m);
    int rows = 0;
    for (DLLENTRY* row = WinSockEntryTable(0); row->target; ++row, ++rows) {
        ASSERT_NE(0, row->ordinal) << row->name;
        EXPECT_EQ((void*)GetProcAddress(m, MAKEINTRESOURCEA(row->ordinal)), *(void**)row->target) << row->name;
        EXPECT_EQ((void*)GetProcAddress(m, row->name), *(void**)row->target) << row->name << " by its name too";
    }
    EXPECT_GE(rows, 31);
    SysLibraryFree(m);
}

// An engine echo service and its client, both over psock32.
TEST(EngineOverPsock32, AnEchoServiceAndItsClientsRunOverIt) {
    BesidePsock beside;
    static std::string path = PsockPath();
    socktest::EchoService echo(10, 1, 0, 0, [](socktest::EchoMonitor* m) {
        strcpy(static_cast<WINSOCKCONTROL*>(m->control)->libraryName, path.c_str());
    });
    ASSERT_TRUE(echo.connected);
    ASSERT_NE(0, echo.port);
    WINSOCKCONTROL* clients = new WINSOCKCONTROL;
    clients->prepare();
    strcpy(clients->libraryName, path.c_str());
    ASSERT_TRUE(clients->LoadWinSock(0, 0));
    EXPECT_EQ(echo.control->library, clients->library) << "one loaded instance for both";
    {
        std::string block(70000, 0);
        for (size_t i = 0; i < block.size(); ++i) block[i] = (char)(i % 251);
        socktest::Client a(*clients, echo.port), b(*clients, echo.port);
        ASSERT_NE(INVALID_SOCKET, a.s);
        ASSERT_NE(INVALID_SOCKET, b.s);
        EXPECT_TRUE(b.Send("second"));
        EXPECT_TRUE(a.Send(block));
        EXPECT_EQ("second", b.Read(6));
        EXPECT_TRUE(a.Read(block.size()) == block);
    }
    clients->UnloadWinSock(1, 0, 0);
    clients->freeobj();
}

}  // namespace
