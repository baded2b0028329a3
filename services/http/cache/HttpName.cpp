#include "HttpName.h"

#include "TableIO.h"

namespace {

void putFramed(STREAMBUF& out, const std::string& text) {
    out << BEGINDI(0, 0, (unsigned long)text.size());
    if (!text.empty()) out.CopyIn(text.data(), (long)text.size());
    out << ENDDI();
}

std::string getFramed(STREAMBUF& in) {
    in >> BEGINDI();
    std::string text;
    long n = in.cursor.length;
    if (n > 0) {
        text.resize((size_t)n);
        text.resize((size_t)in.CopyOut(&text[0], n));
    }
    in >> ENDDI();
    return text;
}

}  // namespace

BBOOL HTTPNAME::StreamOut(STREAMBUF& out) {
    putFramed(out, site);
    putFramed(out, path);
    tableio::PutU32(out, fileNumber);
    tableio::PutU32(out, (unsigned long)size);
    tableio::PutU32(out, siteDirectory);
    return streamStatus == 0;
}

BBOOL HTTPNAME::StreamIn(STREAMBUF& in) {
    site = getFramed(in);
    path = getFramed(in);
    tableio::FrameReader numbers(in);
    fileNumber = numbers.Long();
    size = (long)numbers.Long();
    siteDirectory = numbers.Long();
    return streamStatus == 0;
}

int HTTPNAME::ItemStreamSize(BBOOL full) { return 72 + (full ? (int)(site.size() + path.size()) : 0); }
