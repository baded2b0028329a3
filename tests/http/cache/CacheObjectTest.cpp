#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "HtmlDoc.h"
#include "HttpObject.h"
#include "HttpRequest.h"
#include "HttpSite.h"
#include "Streamable.h"

// The stream of the object below: prefix and flags block, the object's own
// frame and row, then each header field.
#define GOLDEN_HTTPOBJECT \
    "90000000d00048544f4200000e0001c8000000030000000000000000001a214300000101040000001111111122222222" \
    "333333334444444400000402000000c00080000104000004000000626f6479800000041000687474703a2f2f77656268" \
    "6f73742f6100001a436f6e74656e742d547970650000000a746578742f706c61696e00000b5365727665720000000178" \
    "0000474e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e" \
    "4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e4e000000046c6f6e67"

namespace {

std::string Hex(const char* p, long n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (long i = 0; i < n; ++i) {
        s += digits[(unsigned char)p[i] >> 4];
        s += digits[(unsigned char)p[i] & 15];
    }
    return s;
}

HTTPOBJECT* Make(unsigned long id) {
    HTTPOBJECT* o = new HTTPOBJECT(nullptr, "http://webhost/a", FALSE, FALSE, id);
    o->prepare();
    return o;
}

}  // namespace

TEST(CacheObject, StreamsItsFieldsInOrderWithTheSameBytesInEveryBuild) {
    HTTPOBJECT* o = Make(0x4321);
    o->statusCode = 200;
    o->headersPresent = 1;
    o->defined = 1;
    o->valid = 1;
    o->addedTime.seconds = 0x11111111;
    o->expiryTime.seconds = 0x22222222;
    o->listedTime.seconds = 0x33333333;
    o->userTime.seconds = 0x44444444;
    o->SetData(BUFFER(const_cast<char*>("body"), 4));
    o->AddHeader("Content-Type", "text/plain");
    o->AddHeader("Server", "x");
    o->AddHeader(std::string(70, 'N').c_str(), "long");

    STREAMBUF s(4096);
    s.SetForWrite();
    s << *o;
    ASSERT_EQ(0, o->streamStatus);
    // Stored data: both builds must write exactly these bytes.
    EXPECT_EQ(std::string(GOLDEN_HTTPOBJECT), Hex(s.area.data, s.Used()));

    HTTPOBJECT* back = Make(0x4322);
    s.SetForRead();
    s >> *back;
    EXPECT_EQ(0, back->streamStatus);
    EXPECT_EQ(200, back->statusCode);
    EXPECT_TRUE(back->headersPresent);
    EXPECT_EQ(nullptr, back->document);
    const char* names[] = {"Content-Type", "Server", nullptr};
    std::string longName(63, 'N');
    names[2] = longName.c_str();
    CITERATOR<DATAVALUE> it;
    int i = 0;
    for (DATAVALUE* v = it.Begin(back->headers); v; v = it.Next(), ++i) EXPECT_STREQ(names[i], v->valueName) << i;
    it.End();
    EXPECT_EQ(3, i);
    back->freeobj();
    o->freeobj();
}

TEST(CacheObject, OnlyAnHtmlDocumentIsRestored) {
    HTTPOBJECT* page = Make(0x5001);
    ASSERT_NE(nullptr, HTMLDOC::Generate(*page, "T", nullptr, nullptr, nullptr));
    HTTPOBJECT* plain = Make(0x5002);
    HTTPDOC* other = new HTTPDOC(plain);
    other->prepare();

    for (HTTPOBJECT* o : {page, plain}) {
        STREAMBUF s(4096);
        s.SetForWrite();
        s << *o;
        HTTPOBJECT* back = Make(0x5003);
        s.SetForRead();
        s >> *back;
        EXPECT_EQ(0, back->streamStatus);
        if (o == page) {
            ASSERT_NE(nullptr, back->document);
            EXPECT_STREQ("HTML Document", back->TypeName());
        } else {
            EXPECT_EQ(nullptr, back->document);
            EXPECT_STREQ("HTTP Object", back->TypeName());
        }
        back->freeobj();
    }
    page->freeobj();
    plain->freeobj();
}

TEST(CacheObject, SitesCountTheRequestsReferringToThem) {
    DATASTORE sites(TRUE, "HTTP Web Sites", nullptr, nullptr, nullptr, 0);
    HTTPSITE* a = new HTTPSITE(&sites, nullptr, "a.example", 0);
    HTTPSITE* b = new HTTPSITE(&sites, nullptr, "b.example", 0);
    a->prepare();
    b->prepare();
    std::string text = " http://a.example/ HTTP/1.0\r\n\r\n";
    HTTPGETREQUEST* r = new HTTPGETREQUEST(&text[0]);
    r->prepare();
    r->SetSite(a);
    EXPECT_EQ(1, a->requestCount);
    r->SetSite(b);
    EXPECT_EQ(0, a->requestCount);
    EXPECT_EQ(1, b->requestCount);

    // A site's objects live in its own store.
    HTTPOBJECT* o = new (&b->objects) HTTPOBJECT(b, "http://b.example/", TRUE, TRUE, 0);
    o->prepare();
    EXPECT_EQ(&b->objects, o->Store());
    EXPECT_EQ(o, b->objects.FindSingleObject("http://b.example/", FALSE));
    o->freeobj();

    r->FreeRequest(FALSE);
    EXPECT_EQ(0, b->requestCount) << "a request gone lets go of its site";
    b->freeobj();
    a->freeobj();
}
