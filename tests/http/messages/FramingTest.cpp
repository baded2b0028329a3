#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HttpFraming.h"
#include "HttpMsgBase.h"

namespace {

// Feeds the pieces one after the other into one growing buffer, as a link
// fills its receive buffer; the end found and the piece it was found in.
struct Fed {
    long end = -1;
    int piece = -1;
    long terminator = -1;
};

Fed Feed(const std::vector<std::string>& pieces) {
    HEADERSCAN scan;
    std::string buffer;
    Fed f;
    for (size_t i = 0; i < pieces.size(); ++i) {
        buffer += pieces[i];
        long end = FindHeaderEnd(scan, buffer.data(), (long)buffer.size(), &f.terminator);
        if (end >= 0) {
            f.end = end;
            f.piece = (int)i;
            return f;
        }
    }
    return f;
}

}  // namespace

TEST(Framing, HeaderBlocksEndAtTheEmptyLineWhereverThePiecesSplit) {
    const std::string block = "GET / HTTP/1.0\r\nHost: h\r\n\r\n";
    const struct {
        const char* what;
        std::vector<std::string> pieces;
        int piece;  // where the end is found; -1 when not yet
        long end;
    } cases[] = {
        {"whole", {block}, 0, (long)block.size()},
        {"split after the first CR LF", {"GET / HTTP/1.0\r\nHost: h\r\n", "\r\n"}, 1, (long)block.size()},
        {"split between LF and CR LF", {"GET / HTTP/1.0\r\nHost: h\r\n\r", "\n"}, 1, (long)block.size()},
        {"split inside the first CR LF", {"GET / HTTP/1.0\r\nHost: h\r", "\n\r\n"}, 1, (long)block.size()},
        {"inside the first CR LF waits", {"GET / HTTP/1.0\r\nHost: h\r"}, -1, -1},
        {"bare line feeds", {"GET / HTTP/1.0\nHost: h\n", "\n"}, 1, 24},
        {"a CR alone between", {"GET / HTTP/1.0\r\nHost: h\r\n", "\r", "\n"}, 2, (long)block.size()},
        {"pipelined pair ends after the first", {block + block}, 0, (long)block.size()},
        {"no empty line yet", {"GET / HTTP/1.0\r\nHost: h\r\n", "Accept: */*\r\n"}, -1, -1},
        {"simple request waits for its empty line", {"GET /\r\n"}, -1, -1},
    };
    for (const auto& c : cases) {
        Fed f = Feed(c.pieces);
        EXPECT_EQ(c.piece, f.piece) << c.what;
        EXPECT_EQ(c.end, f.end) << c.what;
        if (f.end > 0) {
            EXPECT_EQ(f.end - 1, f.terminator) << c.what;
        }
    }
}

TEST(Framing, ARequestSplitAtEveryByteEndsAtItsLastByte) {
    const std::string block = "POST /cgi HTTP/1.0\r\nContent-Length: 4\r\n\r\nbody";
    const long headerEnd = (long)block.find("\r\n\r\n") + 4;
    std::vector<std::string> bytes;
    for (char c : block) bytes.push_back(std::string(1, c));
    Fed f = Feed(bytes);
    EXPECT_EQ(headerEnd, f.end);
    EXPECT_EQ(headerEnd - 1, f.piece);
}

TEST(Framing, OnlyBlocksTheParserReadsAsThePeerDoes) {
    std::string fits(HTTP_HEADER_LIMIT - 1, 'x');
    EXPECT_TRUE(HeaderBlockFits(fits.data(), (long)fits.size()));
    std::string over(HTTP_HEADER_LIMIT, 'x');
    EXPECT_FALSE(HeaderBlockFits(over.data(), (long)over.size()));
    std::string zero = std::string("GET / HTTP/1.0\r\nX: a") + '\0' + "b\r\n\r\n";
    EXPECT_FALSE(HeaderBlockFits(zero.data(), (long)zero.size()));
}
