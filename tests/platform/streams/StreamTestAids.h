#pragma once
// Small streamable objects and a memory destination for the stream tests.
#include <string>
#include <vector>

#include "Streamable.h"

// Writes `body` as its body; reads at most `readLimit` bytes (all when < 0).
class Blob : public STREAMABLE {
public:
    std::string body;
    int estimate = 0;
    int readLimit = -1;
    std::string got;

    explicit Blob(unsigned long f = 0, unsigned long c = 1, std::string b = "") : STREAMABLE(f, c), body(std::move(b)) {}
    BBOOL StreamOut(STREAMBUF& s) override {
        s.CopyIn(body.data(), static_cast<long>(body.size()));
        return TRUE;
    }
    BBOOL StreamIn(STREAMBUF& s) override {
        long n = s.cursor.length;
        if (readLimit >= 0 && readLimit < n) n = readLimit;
        got.assign(s.cursor.data, n);
        s.cursor.data += n;
        s.cursor.length -= n;
        return TRUE;
    }
    int ItemStreamSize(BBOOL) override { return estimate; }
    QV_ITEM_IDENTITY(Blob, "Blob", "TSTa")
};

// A body of several counts, written as nested objects.
class CountList : public STREAMABLE {
public:
    std::vector<unsigned long> counts;
    size_t readCount = 0;

    explicit CountList(unsigned long f = 0) : STREAMABLE(f, 9) {}
    BBOOL StreamOut(STREAMBUF& s) override {
        for (unsigned long v : counts) {
            STREAMCOUNT c(v);
            s << c;
        }
        return TRUE;
    }
    BBOOL StreamIn(STREAMBUF& s) override {
        counts.clear();
        for (size_t i = 0; i < readCount; ++i) {
            STREAMCOUNT c;
            s >> c;
            counts.push_back(c.count);
        }
        return TRUE;
    }
    QV_ITEM_IDENTITY(CountList, "CountList", "TSTl")
};

// Collects every buffer written out, each also as a record of its own.
class MemDest : public STREAMDEST {
public:
    std::string out;
    std::vector<std::string> records;
    int writes = 0;
    int WriteBuffer() override {
        out.append(buffer.area.data, buffer.Used());
        records.emplace_back(buffer.area.data, buffer.Used());
        ++writes;
        return STREAMDEST::WriteBuffer();
    }
};

// Hands out one record per read, like a record file.
class MemSource : public STREAMDEST {
public:
    std::vector<std::string> records;
    size_t next = 0;
    int ReadBuffer() override {
        if (next >= records.size()) {
            endOfFile = TRUE;
            return 1;
        }
        const std::string& r = records[next++];
        buffer.SetForWrite();
        buffer.CopyIn(r.data(), static_cast<long>(r.size()));
        buffer.cursor = BUFFER(buffer.area.data, static_cast<long>(r.size()));
        return 0;
    }
};

inline std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b) s += static_cast<char>(v);
    return s;
}

inline std::string Written(const STREAMBUF& s) { return std::string(s.area.data, s.Used()); }
