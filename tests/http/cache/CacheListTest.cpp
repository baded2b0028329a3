// The cache pages: contents, site list and delete lists over the sites held.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "QvWindows.h"

#include "CacheCommands.h"
#include "CacheListPage.h"
#include "HtmlDoc.h"
#include "HttpCache.h"
#include "HttpCfg.h"
#include "HttpObject.h"
#include "HttpSite.h"

namespace {

const unsigned long k1990 = 631152000;  // that time in seconds

struct Pages : ::testing::Test {
    HTTPCFG cfg;
    HTTPCACHE* cache = nullptr;
    HTTPOBJECT* page = nullptr;

    void SetUp() override {
        cfg.memoryCacheSize = 1 << 20;
        cache = new HTTPCACHE(cfg, nullptr, FALSE);
        page = new HTTPOBJECT(nullptr, "", TRUE, FALSE, 0);
        page->prepare();
    }
    void TearDown() override {
        page->freeobj();
        delete cache;
    }
    // An object of site at path; cached: held by the memory level, else still arriving.
    HTTPOBJECT* Add(const char* site, const char* path, const std::string& body, bool cached = true,
                    unsigned long expires = 0) {
        HTTPSITE* s = cache->FindSite(site, TRUE, 0);
        HTTPOBJECT* o = new (&s->objects) HTTPOBJECT(s, path, TRUE, TRUE, 0);
        o->prepare();
        o->SetBlockData(body.data(), (long)body.size());
        o->listedTime.seconds = k1990;
        o->expiryTime.seconds = expires;
        o->valid = 1;
        o->defined = cached;
        if (cached) {
            EXPECT_TRUE(cache->memory->Accept(*o, FALSE));
            o->freeobj();
        }
        return o;
    }
    std::string Page(BBOOL del, const char* site, const char* ext, const char* password = "secret") {
        HTMLDOC* doc = GenerateCacheList(*cache, "HTTP", password, *page, del, site, ext);
        EXPECT_NE(nullptr, doc);
        if (!doc) return "";
        std::string text(page->dataBlock->data, (size_t)page->DataLength());
        doc->freeobj();
        page->SetDocument(nullptr);
        return text;
    }
    static bool Has(const std::string& page, const std::string& text) { return page.find(text) != std::string::npos; }
};

}  // namespace

TEST_F(Pages, ContentsListEverySiteWithRowsAndTotals) {
    Add("127.0.0.2:8000", "/a.html", std::string(600, 'a'));
    Add("127.0.0.2:8000", "ftp:/pub/b.txt", "bb", true, k1990);
    HTTPOBJECT* arriving = Add("127.0.0.2:8000", "c.gif", "ccc", false);
    std::string p = Page(FALSE, nullptr, nullptr);
    for (const char* want : {
             "<TITLE>Contents of the HTTP cache ...</TITLE>",
             "<H3>Select a site from the list below to display its contents.</H3>\r\n",
             "<H2><P>Web Site 127.0.0.2:8000 ...</H2>\r\n",
             "<tr><td width=45%><A HREF=\"http://127.0.0.2:8000/a.html\" TARGET=\"Quorvane Cached Image\">/a.html</A></td>"
             "<td width=15%>600</td><td width=37%>Mon, 01 Jan 1990 00:00:00 GMT</td><td width=37%>-</td></tr>\r\n",
             "<A HREF=\"ftp://127.0.0.2:8000/pub/b.txt\" TARGET=\"Quorvane Cached Image\">ftp:/pub/b.txt</A>",
             "<td width=37%>Mon, 01 Jan 1990 00:00:00 GMT</td></tr>",
             "<A HREF=\"http://127.0.0.2:8000/c.gif\" TARGET=\"Quorvane Cached Image\">c.gif</A></td><td width=15%>3 (Receiving)</td>",
             "<P>... Total Size = 605\r\n",
             "<P>... Total Memory Used for Cache = 605\r\n",
         })
        EXPECT_TRUE(Has(p, want)) << want << "\n" << p;
    EXPECT_EQ(std::string::npos, p.find('\0'));
    EXPECT_EQ("</BODY></HTML> ", p.substr(p.size() - 15));
    arriving->freeobj();
}

TEST_F(Pages, SiteListAndDeleteListsLinkTheCommands) {
    Add("webhost", "/a.gif", "1234");
    const struct {
        BBOOL del;
        const char* site;
        const char* want;
    } cases[] = {
        {FALSE, "*", "<P>Web Site <A HREF=\"http://Quorvane/Gateway-Administration?pswd=secret&amp;Gateway-Cache=*-webhost\">webhost</A> ...</H2>"},
        {TRUE, "*", "<A HREF=\"http://Quorvane/Gateway-Administration?pswd=secret&amp;Cache-Remove-List=*-webhost\">webhost</A>"},
        {TRUE, nullptr, "<TITLE>Remove items from the HTTP Cache ...</TITLE>"},
        {TRUE, "webhost", "<TITLE>Remove items from the cached site webhost ...</TITLE>"},
        {TRUE, "webhost", "<A HREF=\"http://Quorvane/Gateway-Administration?pswd=secret&amp;Cache-Remove-Site=webhost\">* (delete entire site)</A>"},
        {TRUE, "webhost", "<A HREF=\"http://Quorvane/Gateway-Administration?pswd=secret&amp;Cache-Remove-Item=webhost/a.gif\">/a.gif</A>"},
        {FALSE, "webhost", "<TITLE>Contents of the cached site webhost ...</TITLE>"},
        {FALSE, "", "<TITLE>Contents of the cached site  ...</TITLE>"},
    };
    for (const auto& c : cases) {
        std::string p = Page(c.del, c.site, nullptr);
        EXPECT_TRUE(Has(p, c.want)) << c.del << " " << (c.site ? c.site : "null") << "\n" << c.want << "\n" << p;
    }
    std::string list = Page(FALSE, "*", nullptr);
    EXPECT_FALSE(Has(list, "Total Memory")) << "a site list has no tables and no total";
    std::string none = Page(FALSE, "", nullptr);
    EXPECT_FALSE(Has(none, "Web Site"));
    EXPECT_TRUE(Has(none, "Total Memory Used for Cache = 0"));
}

TEST_F(Pages, ExtensionsPickRowsByTheLastDot) {
    for (const char* name : {"/a.gif", "/a.GIF", "/a.gif.bak", "/readme", "/end."}) Add("h", name, "x");
    const struct {
        const char* ext;
        std::vector<std::string> listed;
    } cases[] = {{"gif", {"/a.gif"}}, {"", {"/readme", "/end."}}};
    for (const auto& c : cases) {
        std::string p = Page(FALSE, nullptr, c.ext);
        int rows = 0;
        for (size_t at = p.find("TARGET="); at != std::string::npos; at = p.find("TARGET=", at + 1)) ++rows;
        EXPECT_EQ((int)c.listed.size(), rows) << c.ext;
        for (const std::string& n : c.listed) EXPECT_TRUE(Has(p, ">" + n + "</A>")) << c.ext << " " << n;
    }
}

TEST_F(Pages, NamesFromURLsAreWrittenAsText) {
    Add("evil\"host", "/<script>&x", "x");
    std::string p = Page(FALSE, nullptr, nullptr);
    EXPECT_FALSE(Has(p, "<script>"));
    EXPECT_TRUE(Has(p, "<P>Web Site evil&quot;host ...")) << p;
    EXPECT_TRUE(Has(p, "HREF=\"http://evil&quot;host/&lt;script&gt;&amp;x\"")) << p;
    // A title cannot overrun its room.
    std::string longSite(600, 's');
    std::string t = Page(FALSE, longSite.c_str(), nullptr);
    EXPECT_TRUE(Has(t, "<TITLE>Contents of the cached site sss"));
}

TEST_F(Pages, RemovingAnItemSparesOneInUse) {
    Add("127.0.0.2:8000", "/a.html", "a");
    HTTPOBJECT* used = Add("127.0.0.2:8000", "/used", "u");
    used->prepare();  // a request's hold
    Add("127.0.0.2:8000", "plain", "p");
    EXPECT_TRUE(RemoveCachedItem(*cache, "127.0.0.2:8000/a.html"));
    EXPECT_TRUE(RemoveCachedItem(*cache, "127.0.0.2:8000/plain")) << "a name without its own '/'";
    EXPECT_FALSE(RemoveCachedItem(*cache, "127.0.0.2:8000/used"));
    EXPECT_FALSE(RemoveCachedItem(*cache, "nosuchsite/a.html"));
    HTTPSITE* site = cache->FindSite("127.0.0.2:8000", FALSE, 0);
    ASSERT_NE(nullptr, site);
    EXPECT_EQ(nullptr, site->objects.FindSingleObject("/a.html", TRUE));
    EXPECT_EQ(used, site->objects.FindSingleObject("/used", TRUE));
    used->freeobj();
}

TEST_F(Pages, TheCacheFileListsTheContentsInBothForms) {
    Add("webhost", "/x.gif", std::string(10, 'x'));
    Add("webhost", "ftp:/pub/f.txt", std::string(3, 'f'));
    char tmp[MAX_PATH];
    GetTempPathA(sizeof tmp, tmp);
    std::string path = std::string(tmp) + "qvcachefile" + std::to_string(GetCurrentProcessId()) + ".dat";
    auto written = [&](BBOOL detailed) {
        EXPECT_TRUE(WriteCacheFile(*cache, "HTTP", path.c_str(), detailed));
        std::string text;
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            int c;
            while ((c = std::fgetc(f)) != EOF) text += (char)c;
            std::fclose(f);
        }
        DeleteFileA(path.c_str());
        return text;
    };
    std::string detail = written(TRUE);
    EXPECT_EQ(0u, detail.find("Contents of the HTTP cache ...\r\nWeb Site webhost ...\r\n /x.gif")) << detail;
    EXPECT_TRUE(Has(detail, "Size=10 ")) << detail;
    EXPECT_TRUE(Has(detail, "Time=Mon, 01 Jan 1990 00:00:00 GMT\r\n")) << detail;
    EXPECT_TRUE(Has(detail, "... Total Size = 13\r\n\r\n... Total Memory Used for Cache = 13\r\n")) << detail;
    // The plain form is a list of URLs to fetch at start, under a comment head.
    std::string list = written(FALSE);
    EXPECT_EQ(";\r\n;  The items listed below are currently cached.\r\n;\r\n"
              ";  To automatically retrieve them when Quorvane starts,\r\n;  save this file as INITIAL.URL.\r\n;\r\n"
              "webhost/x.gif\r\nftp://webhost/pub/f.txt\r\n",
              list);
    EXPECT_FALSE(WriteCacheFile(*cache, "HTTP", "Z:\\no\\such\\directory\\CACHE.DAT", TRUE));
}
