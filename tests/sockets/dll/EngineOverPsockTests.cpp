// The engine's socket layer over psock32, as quorhub uses it when its
// profile names psock32: the binding table by ordinal, and an echo service
// and its clients carried through psock32 and the stand-ins.
#include "SocketFixture.h"
#include "SysHelpers.h"
#include "LoopbackPeers.h"
#include "ScratchDir.h"

#include "TestAids.h"

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

// The event window finds a look-up's request by the whole task handle that
// psock32 returned: its reply's wParam is that handle, not a part of it.
TEST(EngineOverPsock32, AHostLookUpAnswerFindsItsRequest) {
    BesidePsock beside;
    WINSOCKCONTROL* control = new WINSOCKCONTROL;
    control->prepare();
    strcpy(control->libraryName, PsockPath().c_str());
    ASSERT_TRUE(control->LoadWinSock(0, 0));
    WINSOCKDLL* d = control->library;
    ASSERT_NE(nullptr, d->eventWindow);
    WINSOCKREQUEST* r = new WINSOCKREQUEST(d, nullptr);
    r->prepare();
    strcpy(r->hostName, "localhost");
    HANDLE task;
    {
        MSEMHOLD hold(d->requests.lock);  // the answer waits until the handle is stored
        d->AddRequest(r);
        task = r->task = control->fn.WSAAsyncGetHostByName(d->eventWindow, WINSOCKDLL::LookupMessage, r->hostName,
                                                           r->buffer, WINSOCKREQUEST::BufferSize);
    }
    EXPECT_NE(nullptr, task);  // the request itself belongs to the event window now
    // An answered request leaves the chain.
    for (int i = 0; i < 1000 && d->requests.Count(); ++i) Sleep(10);
    EXPECT_EQ(0, d->requests.Count());
    control->UnloadWinSock(1, 0, 0);
    control->freeobj();
}

// A file fetched from the HTTP peer through the table bound to psock32 is
// byte-identical to the file the peer serves.
TEST(EngineOverPsock32, AFileFetchedOverHttpArrivesWhole) {
    ASSERT_NE(0, LoopbackPeers::http) << "the Python HTTP peer did not start";
    BesidePsock beside;
    WINSOCKCONTROL* control = new WINSOCKCONTROL;
    control->prepare();
    strcpy(control->libraryName, PsockPath().c_str());
    ASSERT_TRUE(control->LoadWinSock(0, 0));
    {
        socktest::Client client(*control, (unsigned short)LoopbackPeers::http);
        ASSERT_NE(INVALID_SOCKET, client.s);
        ASSERT_TRUE(client.Send("GET /Ws11Probe.cpp HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n"));
        std::string reply = client.Read(1 << 24);  // until the peer closes
        size_t head = reply.find("\r\n\r\n");
        ASSERT_NE(std::string::npos, head) << reply.substr(0, 200);
        EXPECT_EQ(0u, reply.find("HTTP/1.0 200")) << reply.substr(0, 200);
        std::string file = qvtest::FileText(SourcePath("tests/sockets/Ws11Probe.cpp"));
        ASSERT_GT(file.size(), 10000u);
        EXPECT_TRUE(reply.substr(head + 4) == file) << reply.size() - head - 4 << " bytes for " << file.size();
    }
    control->UnloadWinSock(1, 0, 0);
    control->freeobj();
}

}  // namespace
