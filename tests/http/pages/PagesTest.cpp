#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "HtmlDoc.h"
#include "HttpRequest.h"

namespace {

std::string Data(HTTPOBJECT& o) {
    BUFFER b = o.dataField ? o.dataField->DataView() : BUFFER();
    return b.data ? std::string(b.data, b.length) : std::string();
}

// Page text without its terminating zero, checking that zero is there.
std::string Page(HTTPOBJECT& o) {
    std::string d = Data(o);
    EXPECT_FALSE(d.empty());
    if (d.empty()) return d;
    EXPECT_EQ('\0', d.back());
    d.pop_back();
    EXPECT_EQ(d.size(), std::strlen(d.c_str())) << "one zero, at the end";
    return d;
}

struct Object {
    HTTPOBJECT* o;
    Object() : o(new HTTPOBJECT(nullptr, "page", TRUE, FALSE, 0)) { o->prepare(); }
    ~Object() { o->freeobj(); }
};

// The page for the listing, asked for by a request for ftp://host<path>, or by no request.
std::string FtpPage(const std::string& listing, const char* host, const char* path) {
    Object obj;
    obj.o->SetData(BUFFER(const_cast<char*>(listing.data()), (long)listing.size()));
    std::string line = std::string(" ftp://") + (host ? host : "") + (path ? path : "") + " HTTP/1.0\r\n\r\n";
    HTTPGETREQUEST* request = host ? new HTTPGETREQUEST(&line[0]) : nullptr;
    if (request) {
        request->prepare();
        EXPECT_TRUE(request->ParseCommand()) << line;
    }
    HTMLDOC* doc = HTMLDOC::GenerateFTPls(*obj.o, request);
    if (request) request->FreeRequest(FALSE);
    if (!doc) return "<no page>";
    EXPECT_EQ(doc, obj.o->document);
    return Page(*obj.o);
}

const char kHead[] = "<H1>Directory of host</H1>\r\n<H2>Current directory is /pub/</H2>\r\n<HR>\r\n"
                     "<table width=100% cols=3 border=0><tr><td width=25%>NAME</td><td width=25%>LAST MODIFIED</td>"
                     "<td width=10%>SIZE</td></tr>\r\n";
const char kIcon[] = "<IMG ALIGN=absbottom BORDER=0 HEIGHT=16 WIDTH=16 HSPACE=5 SRC=\"http://Quorvane/";

std::string Row(const std::string& icon, const std::string& link, const std::string& name, const std::string& date,
                const std::string& size) {
    return "<tr><td width=25%>" + std::string(kIcon) + icon + "\"><A HREF=\"" + link + "\">" + name +
           "</A></td><td width=25%>" + date + "</td><td width=10%>" + size + "</td></tr>\r\n";
}
const std::string kParent = "<tr><td width=25%>" + std::string(kIcon) +
                            "arrow.gif\"><A HREF=\"/\">Parent Directory</A></td></tr>\r\n";

}  // namespace

TEST(Pages, PlainPageFrameCountsWhatItWrites) {
    Object obj;
    HTMLDOC* doc = HTMLDOC::Generate(*obj.o, "T", "Head", "<P>one", "<P>two");
    ASSERT_NE(nullptr, doc);
    EXPECT_EQ("<HTML><HEAD><TITLE>T</TITLE></HEAD>\r\n<BODY><H1>Head</H1><P>one<P>two</BODY></HTML>", Page(*obj.o));
    EXPECT_EQ(doc->size, (long)Data(*obj.o).size()) << "counted length plus the terminator";
    char type[32];
    ASSERT_NE(nullptr, obj.o->headers.First());
    EXPECT_STREQ("Content-Type", obj.o->headers.First()->valueName);
    obj.o->headers.First()->GetData(BUFFER(type, sizeof type), TRUE);
    EXPECT_STREQ("text/html", type);
    EXPECT_STREQ("HTML Document", obj.o->TypeName());

    Object bare;
    HTMLDOC* plain = HTMLDOC::Generate(*bare.o, "", nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, plain);
    EXPECT_EQ("<HTML><HEAD><TITLE></TITLE></HEAD>\r\n<BODY></BODY></HTML>", Page(*bare.o));
}

TEST(Pages, NullTitleGivesABareDocumentReusedLater) {
    Object obj;
    HTMLDOC* first = HTMLDOC::Generate(*obj.o, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(0, obj.o->DataLength());
    EXPECT_EQ(first, HTMLDOC::Generate(*obj.o, nullptr, nullptr, nullptr, nullptr));

    // A document of another kind is released and replaced.
    Object other;
    HTTPDOC* plain = new HTTPDOC(other.o);
    plain->prepare();
    EXPECT_STREQ("HTTP Document", other.o->TypeName());
    HTMLDOC* doc = HTMLDOC::Generate(*other.o, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, doc);
    EXPECT_EQ(doc, other.o->document);
}

TEST(Pages, FtpDirectoryPageOfTheExample) {
    std::string page = FtpPage("-rw-r--r--   1 user group 2048 Jan  5 10:22 a.zip\r\n", "host", "/pub/");
    const std::string expect = "<HTML><HEAD><TITLE>host</TITLE></HEAD>\r\n<BODY>" + std::string(kHead) + kParent +
                               Row("binary.gif", "/pub/a.zip", "a.zip", "Jan  5 10:22", "3k") +
                               "</table><HR>\r\n</BODY></HTML>";
    EXPECT_EQ(expect, page);
}

TEST(Pages, FtpListingsOfBothForms) {
    const struct {
        const char* what;
        std::string listing;
        std::string rows;  // after the parent row; "<no page>" when none is built
    } cases[] = {
        {"total line and a symbolic link",
         "total 12\r\ndrwxr-xr-x 2 user group 512 Jan 5 10:22 docs\r\n"
         "lrwxrwxrwx 1 root root 7 Jan 5 10:22 bin -> usr/bin\r\n",
         Row("folder.gif", "/pub/docs/", "docs", "Jan 5 10:22", "-") +
             Row("folder.gif", "/pub/bin/", "bin", "Jan 5 10:22", "-")},
        // LIST of a Debian python3-pyftpdlib server (it writes no total line).
        {"pyftpdlib listing",
         "-rw-r--r--   1 root     root         2048 Dec 11 00:37 a.zip\r\n"
         "lrwxrwxrwx   1 root     root            4 Dec 11 00:37 bin -> docs\r\n"
         "drwxr-xr-x   2 root     root         4096 Dec 11 00:37 docs\r\n"
         "-rw-r--r--   1 root     root            0 Dec 11 00:37 my file\r\n"
         "-rw-r--r--   1 root     root            3 Dec 11 00:37 notes.txt\r\n",
         Row("binary.gif", "/pub/a.zip", "a.zip", "Dec 11 00:37", "3k") +
             Row("folder.gif", "/pub/bin/", "bin", "Dec 11 00:37", "-") +
             Row("folder.gif", "/pub/docs/", "docs", "Dec 11 00:37", "-") +
             Row("binary.gif", "/pub/my file", "my file", "Dec 11 00:37", "0k") +
             Row("text.gif", "/pub/notes.txt", "notes.txt", "Dec 11 00:37", "1k")},
        {"directory named like a text file",
         "drwxr-xr-x 2 u g 512 Jan 5 10:22 notes.txt\r\n",
         Row("text.gif", "/pub/notes.txt", "notes.txt", "Jan 5 10:22", "1k")},
        {"blanks in names, dot entries skipped",
         "drwxr-xr-x 2 u g 512 Jan 5 10:22 .\r\n-rw-r--r-- 1 u g 0 Jan 5 2001 my file  \r\n",
         Row("binary.gif", "/pub/my file", "my file", "Jan 5 2001", "0k")},
        {"DOS form",
         "01-23-97  10:22AM       <DIR>          Reports\r\n01-23-97  10:22AM            1234 a.txt\r\n",
         Row("folder.gif", "/pub/Reports/", "Reports", "01-23-97  10:22AM", "-") +
             Row("text.gif", "/pub/a.txt", "a.txt", "01-23-97  10:22AM", "2k")},
        {"names written as text, not markup",
         "-rw-r--r-- 1 u g 10 Jan 5 10:22 x\"><b>&.bin\r\n",
         Row("binary.gif", "/pub/x&quot;&gt;&lt;b&gt;&amp;.bin", "x&quot;&gt;&lt;b&gt;&amp;.bin", "Jan 5 10:22",
             "1k")},
        {"empty listing", "", ""},
        {"neither form", "550 No files found\r\n", "<no page>"},
    };
    for (const auto& c : cases) {
        std::string page = FtpPage(c.listing, "host", "/pub/");
        if (c.rows == "<no page>") {
            EXPECT_EQ("<no page>", page) << c.what;
            continue;
        }
        const std::string expect = "<HTML><HEAD><TITLE>host</TITLE></HEAD>\r\n<BODY>" + std::string(kHead) + kParent +
                                   c.rows + "</table><HR>\r\n</BODY></HTML>";
        EXPECT_EQ(expect, page) << c.what;
    }
}

TEST(Pages, FtpPathsAndStyles) {
    char out[64];
    BUFFER b(out, sizeof out);
    const struct { const char* path; const char* parent; } parents[] = {
        {"/pub/docs/", "/pub/"}, {"/pub/", "/"}, {"pub", "/"}, {"", "/"}};
    for (const auto& p : parents) EXPECT_STREQ(p.parent, HTMLDOC::getParentPath(p.path, b)) << p.path;
    EXPECT_STREQ("bin", HTMLDOC::getLinkPath("bin -> usr/bin", b));
    EXPECT_TRUE(HTMLDOC::atSiteRoot("/"));
    EXPECT_FALSE(HTMLDOC::atSiteRoot("/pub/"));
    EXPECT_TRUE(HTMLDOC::isTextFile("a.TXT"));
    EXPECT_FALSE(HTMLDOC::isTextFile("a.Txt"));
    EXPECT_FALSE(HTMLDOC::isTextFile("a.txt.gz"));
    EXPECT_TRUE(HTMLDOC::isUnixLsStyle("drwxr-xr-x 2 u g"));
    EXPECT_FALSE(HTMLDOC::isUnixLsStyle("drwxr-xr-q 2 u g"));
    EXPECT_TRUE(HTMLDOC::isDosDirStyle("01-23-97 10:22AM <dir> x"));
    EXPECT_FALSE(HTMLDOC::isDosDirStyle("550 No files"));

    // Without a request: no host or path, no icons, and at the root no parent row.
    std::string page = FtpPage("-rw-r--r-- 1 u g 5 Jan 5 10:22 f\r\n", nullptr, nullptr);
    EXPECT_NE(std::string::npos, page.find("<tr><td width=25%><A HREF=\"f\">f</A>")) << page;
    // A path without its slash gets one.
    page = FtpPage("", "h", "/dir");
    EXPECT_NE(std::string::npos, page.find("Current directory is /dir/")) << page;
}
