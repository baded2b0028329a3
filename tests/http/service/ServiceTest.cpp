#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "AppRequest.h"
#include "HttpCfg.h"
#include "HttpDebug.h"
#include "HttpLog.h"
#include "HttpRequest.h"
#include "HttpResponse.h"
#include "LogFile.h"
#include "Profile.h"
#include "ScratchDir.h"

namespace {

class HttpLogTest : public qvtest::ScratchDirTest {
protected:
    HttpLogTest() : ScratchDirTest("http_log") {}

    // The log lines written while run ran, without the log's own start and stop lines.
    template <class RUN>
    std::vector<std::string> Logged(RUN run) {
        LOGFILE shared("HTTPT");
        HTTPLOG log;
        EXPECT_TRUE(log.SetupLogfile(&shared, nullptr, 0));
        EXPECT_TRUE(shared.Open(TRUE));
        log.SetLogging(TRUE);
        run(log);
        shared.Close();
        std::vector<std::string> lines;
        for (const std::string& l : qvtest::FileLines("HTTPT.DAT"))
            if (l.find(" from ") != std::string::npos) lines.push_back(l);
        return lines;
    }
};

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

struct Process {
    std::string text;
    HTTPREQUEST* request;
    APPREQUEST* process;
    // With bare, a request of no method: nothing rebuilds it.
    explicit Process(const char* t, unsigned long id, bool bare = false) : text(t) {
        request = bare ? new HTTPREQUEST(&text[0]) : NewHttpRequest(&text[0]);
        request->prepare();
        if (!bare) {
            EXPECT_TRUE(request->ParseCommand());
        }
        request->requestId.id = id;
        process = new APPREQUEST(request, nullptr, nullptr);
        process->prepare();
    }
    ~Process() {
        process->FreeAppRequest(FALSE);
        request->FreeRequest(FALSE);
    }
};

}  // namespace

TEST_F(HttpLogTest, RequestAndResultLines) {
    std::vector<std::string> lines = Logged([](HTTPLOG& log) {
        Process p("GET http://webhost/a HTTP/1.0\r\nAccept: */*\r\n\r\n", 0x1f);
        EXPECT_TRUE(log.LogRequest(p.process, nullptr, "alice", nullptr));
        HTTPRESPONSE* received = new HTTPRESPONSE(p.request, const_cast<char*>("HTTP/1.0 200 OK\r\n\r\n"), TRUE);
        received->prepare();
        received->ParseCommand();
        EXPECT_TRUE(log.LogRequest(p.process, nullptr, "alice", "webhost"));
        EXPECT_TRUE(log.LogRequest(p.process, nullptr, "alice", nullptr));
        received->FreeResult(FALSE);

        Process own("GET http://h/ HTTP/1.0\r\n\r\n", 255);
        HTTPRESPONSE* generated = HTTPRESPONSE::Generate(own.request, "404", nullptr, FALSE);
        EXPECT_TRUE(log.LogRequest(own.process, nullptr, nullptr, nullptr));
        generated->FreeResult(FALSE);

        Process empty(" http://h/ HTTP/1.0\r\n\r\n", 1, true);
        EXPECT_TRUE(log.LogRequest(empty.process, "SVC", "bob", "srv"));
    });
    ASSERT_EQ(5u, lines.size());
    // Without a client connection the command is the request rebuilt whole.
    EXPECT_TRUE(EndsWith(lines[0], "HTTP request from alice to webhost (ID=1f),  GET http://webhost/a HTTP/1.0"
                                   "\\r\\nAccept: */*\\r\\n\\r\\n"))
        << lines[0];
    EXPECT_TRUE(EndsWith(lines[1], "HTTP result  from webhost to alice (ID=1f),    Status: 200 OK")) << lines[1];
    EXPECT_TRUE(EndsWith(lines[2], "HTTP result  from <server> to alice (ID=1f),    Status: 200 OK")) << lines[2];
    EXPECT_TRUE(EndsWith(lines[3], "HTTP result  from Quorvane to <client> (ID=ff),    Status: 404 Not Found"))
        << lines[3];
    EXPECT_TRUE(EndsWith(lines[4], "SVC request from bob to srv (ID=1),  <Command missing>")) << lines[4];
}

namespace {

class HttpSettingsTest : public qvtest::ScratchDirTest {
protected:
    HttpSettingsTest() : ScratchDirTest("http_cfg") {}

    void Load(PROFILE& p, const std::string& text) {
        EXPECT_TRUE(qvtest::PutFile("QUORHUB.INI", text));
        EXPECT_EQ(0, p.ReadFile("QUORHUB.INI", TRUE));
    }
};

const char kService[] = "HTTP Configuration";

}  // namespace

TEST_F(HttpSettingsTest, ReadsTheThreeSectionsWithTheirUnits) {
    PROFILE p;
    Load(p,
        "[HTTP Configuration]\r\nOptimize DNS Lookup=YES\r\nDocument Directory=C:\\DOCS\r\nHTML Link Level=2\r\n"
        "TCP/IP Outbound Port=8021\r\n"
        "[HTTP Cache]\r\nCache=YES\r\nMemory Cache Size=512\r\nDisk Cache Threshold=-3\r\n"
        "Keep Expired Objects=YES\r\nExpired Object Age=-1\r\nDisk Cache Directory=C:\\CACHE\r\n"
        "[HTTP Proxies]\r\nProxies=YES\r\nProxy SSL Address=up.lan\r\nProxy SSL Port=3128\r\nProxy SSL Remote=YES\r\n");
    HTTPCFG cfg;
    ASSERT_TRUE(cfg.ReadProfile(p, kService)) << (cfg.invalidKey ? cfg.invalidKey : "");
    EXPECT_TRUE(cfg.optimizeDNS);
    EXPECT_STREQ("C:\\DOCS", cfg.documentDirectory);
    EXPECT_EQ(2, cfg.htmlLinkLevel);
    EXPECT_STREQ("8021", cfg.outboundPort);
    EXPECT_TRUE(cfg.cache);
    EXPECT_EQ(524288, cfg.memoryCacheSize);
    EXPECT_EQ(-3072, cfg.diskCacheThreshold);
    EXPECT_TRUE(cfg.keepExpiredObjects);
    EXPECT_EQ(-1, cfg.expiredObjectAge);
    EXPECT_STREQ("C:\\CACHE", cfg.diskCacheDirectory);
    EXPECT_EQ(1, cfg.cacheRefreshMethod) << "a missing key keeps method 1";
    EXPECT_TRUE(cfg.proxies);
    EXPECT_STREQ("up.lan", cfg.proxySSLAddress);
    EXPECT_EQ(3128, cfg.proxySSLPort);
    EXPECT_TRUE(cfg.proxySSLRemote);
    EXPECT_FALSE(cfg.proxyHTTPRemote);
}

TEST_F(HttpSettingsTest, InvalidValuesOfCheckedKeysStopTheRead) {
    const struct {
        const char* section;
        const char* line;
        const char* invalid;  // null: the value is ignored
    } cases[] = {
        {"HTTP Cache", "Cache Refresh Method=3", "Cache Refresh Method"},
        {"HTTP Cache", "Cache Refresh Method=-1", "Cache Refresh Method"},
        {"HTTP Cache", "Cache Refresh Method=two", "Cache Refresh Method"},
        {"HTTP Cache", "Cache=maybe", "Cache"},
        {"HTTP Cache", "Memory Cache Size=12k", "Memory Cache Size"},
        {"HTTP Cache", "Disk Cache Size=3000000", "Disk Cache Size"},
        {"HTTP Proxies", "Proxy HTTP Port=eighty", "Proxy HTTP Port"},
        {"HTTP Configuration", "Optimize DNS Lookup=perhaps", "Optimize DNS Lookup"},
        {"HTTP Proxies", "Proxies=maybe", nullptr},
        {"HTTP Proxies", "Proxy FTP Remote=maybe", nullptr},
        {"HTTP Configuration", "HTML Link Level=deep", nullptr},
        {"HTTP Configuration", "Retrieve HTML Links=maybe", nullptr},
    };
    for (const auto& c : cases) {
        PROFILE p;
        Load(p, std::string("[") + c.section + "]\r\n" + c.line + "\r\n");
        HTTPCFG cfg;
        BBOOL ok = cfg.ReadProfile(p, kService);
        if (c.invalid) {
            EXPECT_FALSE(ok) << c.line;
            EXPECT_STREQ(c.invalid, cfg.invalidKey ? cfg.invalidKey : "<none>") << c.line;
        } else {
            EXPECT_TRUE(ok) << c.line;
            EXPECT_EQ(nullptr, cfg.invalidKey) << c.line;
        }
        EXPECT_EQ(1, cfg.cacheRefreshMethod) << c.line;
        EXPECT_FALSE(cfg.proxies) << c.line;
        EXPECT_FALSE(cfg.cache) << c.line;
        EXPECT_EQ(0, cfg.htmlLinkLevel) << c.line;
    }
}

TEST_F(HttpSettingsTest, WritersPutTheirSectionsBackInOrder) {
    HTTPCFG unread;
    EXPECT_FALSE(unread.WriteCacheProfile()) << "no profile, no write";
    EXPECT_FALSE(unread.WriteProxiesProfile());

    PROFILE p;
    Load(p, "[HTTP Cache]\r\nMemory Cache Size=512\r\n");
    HTTPCFG cfg;
    ASSERT_TRUE(cfg.ReadProfile(p, kService));
    cfg.diskCacheSize = 1500;  // bytes: written as whole kilobytes
    cfg.diskCacheThreshold = -1500;
    cfg.cache = 1;
    cfg.proxyHTTPPort = 8080;
    std::strcpy(cfg.proxyHTTPAddress, "up.lan");
    ASSERT_TRUE(cfg.WriteCacheProfile());
    ASSERT_TRUE(cfg.WriteProxiesProfile());
    ASSERT_EQ(0, p.WriteFile("QUORHUB.INI"));
    std::vector<std::string> lines;
    for (std::string line : qvtest::FileLines("QUORHUB.INI")) {
        size_t eq = line.find(" = ");  // how the profile writes a key it adds
        if (eq != std::string::npos) line.replace(eq, 3, "=");
        lines.push_back(line);
    }
    const std::vector<std::string> expected = {
        "[HTTP Cache]",
        "Memory Cache Size=512",
        "Cache=YES",
        "Browser Cache=NO",
        "Disk Cache Size=1",
        "Disk Cache Threshold=-1",
        "Memory Cache Threshold=0",
        "Disk Cache Directory=",
        "Cache Refresh Method=1",
        "Cache Refresh After Time=0",
        "Startup Validation=NO",
        "Use SubDirectories=NO",
        "Keep Expired Objects=NO",
        "Remove Old Objects=NO",
        "Expired Object Age=0",
        "Maximum Object Age=0",
    };
    ASSERT_GE(lines.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(expected[i], lines[i]) << i;
    std::vector<std::string> proxies(lines.begin() + expected.size(), lines.end());
    while (!proxies.empty() && proxies.front().empty()) proxies.erase(proxies.begin());
    const std::vector<std::string> expectedProxies = {
        "[HTTP Proxies]",       "Proxies=NO",          "Proxy HTTP Address=up.lan", "Proxy FTP Address=",
        "Proxy SSL Address=",   "Proxy HTTP Port=8080", "Proxy FTP Port=0",          "Proxy SSL Port=0",
        "Proxy HTTP Remote=NO", "Proxy FTP Remote=NO", "Proxy SSL Remote=NO",
    };
    EXPECT_EQ(expectedProxies, proxies);
}

TEST(HttpDebug, CommandBufferHoldsAWholeRequest) {
    SPCLASS_INIT package;  // the system memory pool the buffer comes from
    HTTPDEBUG* debug = new HTTPDEBUG(nullptr);
    debug->prepare();
    EXPECT_EQ(HTTPDEBUG::CommandSize, debug->command.length);
    EXPECT_STREQ("", debug->command.data);
    std::string request = "GET http://webhost/ HTTP/1.0\\r\\n" + std::string(15000, 'x');
    EXPECT_TRUE(debug->SetCmd(request.c_str(), FALSE));
    EXPECT_EQ(QvTag("HDBG"), debug->ItemClassID());
    debug->freeobj();
}
