#pragma once
// Shared by the HTTP test programs: a request parsed from text, held for one test.
#include <gtest/gtest.h>

#include <string>

#include "HttpRequest.h"

namespace httptest {

struct Req {
    std::string text;
    HTTPREQUEST* r;
    explicit Req(const std::string& t) : text(t) {
        r = NewHttpRequest(&text[0]);
        r->prepare();
        EXPECT_TRUE(r->ParseCommand()) << t;
    }
    ~Req() { r->FreeRequest(FALSE); }
    Req(const Req&) = delete;
    Req& operator=(const Req&) = delete;
    // The request as it would go on.
    std::string Rebuilt() {
        char out[1024];
        BUFFER b(out, sizeof out);
        return r->RebuildRequest(b, r->viaUpstreamProxy);
    }
};

}  // namespace httptest
