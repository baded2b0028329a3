#pragma once
// Library message catalogues, the exception tree of the ZK string and list
// classes, the raise functions and the process-wide error handler.
#include <cstdio>
#include <ios>

typedef unsigned int ZKSize_T;
const ZKSize_T ZK_NPOS = ~0u;

// One static record per catalogue message.
struct ZKCatMsg {
    const char* catalog;
    long number;
    const char* text;  // printf format, starts with its [TAG]
};

const ZKCatMsg* ZKCORE_NOMEM();
const ZKCatMsg* ZKTOOL_SUBSTRING();
const ZKCatMsg* ZKTOOL_INDEXERR();
const ZKCatMsg* ZKTOOL_NPOSINDEX();

const char* zkMsgLookup(const ZKCatMsg* rec);

// A formatted catalogue text, owned.
class ZKMessage {
public:
    explicit ZKMessage(const char* text);
    ZKMessage(const ZKCatMsg* rec, ...);
    ZKMessage(const ZKMessage& o);
    ZKMessage& operator=(const ZKMessage& o);
    ~ZKMessage();
    const char* str() const { return text_; }

private:
    char* text_;
};

class ZKxmsg {
public:
    explicit ZKxmsg(const char* text);
    explicit ZKxmsg(const ZKMessage& msg);
    ZKxmsg(const char* text, int copy);
    ZKxmsg(const ZKxmsg& o);
    ZKxmsg& operator=(const ZKxmsg& o);
    virtual ~ZKxmsg();

    const char* why() const { return text_; }
    int owned() const { return owned_; }
    void makeCopy(const char* text);
    void raise() const;

protected:
    const char* text_;
    int owned_;
};

class ZKxalloc : public ZKxmsg {
public:
    explicit ZKxalloc(ZKSize_T size);
    ZKxalloc(const ZKxalloc& o) = default;
    ZKSize_T requested() const { return size_; }

private:
    ZKSize_T size_;
};

class ZKExternalErr : public ZKxmsg {
public:
    explicit ZKExternalErr(const char* text) : ZKxmsg(text) {}
    explicit ZKExternalErr(const ZKMessage& m) : ZKxmsg(m) {}
    ZKExternalErr(const ZKExternalErr& o) = default;
};

class ZKFileErr : public ZKExternalErr {
public:
    enum errType { openErr, closeErr, readErr, writeErr, seekErr };
    ZKFileErr(const char* text, FILE* file, errType kind) : ZKExternalErr(text), file_(file), kind_(kind) {}
    ZKFileErr(const ZKMessage& m, FILE* file, errType kind) : ZKExternalErr(m), file_(file), kind_(kind) {}
    ZKFileErr(const ZKFileErr& o) = default;
    FILE* file() const { return file_; }
    errType kind() const { return kind_; }

private:
    FILE* file_;
    errType kind_;
};

class ZKStreamErr : public ZKExternalErr {
public:
    ZKStreamErr(const char* text, std::ios& s) : ZKExternalErr(text), stream_(s) {}
    ZKStreamErr(const ZKMessage& m, std::ios& s) : ZKExternalErr(m), stream_(s) {}
    ZKStreamErr(const ZKStreamErr& o) = default;
    std::ios& stream() const { return stream_; }

private:
    std::ios& stream_;
};

class ZKInternalErr : public ZKxmsg {
public:
    explicit ZKInternalErr(const char* text) : ZKxmsg(text) {}
    explicit ZKInternalErr(const ZKMessage& m) : ZKxmsg(m) {}
    ZKInternalErr(const ZKInternalErr& o) = default;
};

class ZKBoundsErr : public ZKInternalErr {
public:
    explicit ZKBoundsErr(const char* text) : ZKInternalErr(text) {}
    explicit ZKBoundsErr(const ZKMessage& m) : ZKInternalErr(m) {}
    ZKBoundsErr(const ZKBoundsErr& o) = default;
};

[[noreturn]] void ZKThrow(const ZKxmsg& e);
[[noreturn]] void ZKThrow(const ZKxalloc& e);
[[noreturn]] void ZKThrow(const ZKExternalErr& e);
[[noreturn]] void ZKThrow(const ZKFileErr& e);
[[noreturn]] void ZKThrow(const ZKStreamErr& e);
[[noreturn]] void ZKThrow(const ZKInternalErr& e);
[[noreturn]] void ZKThrow(const ZKBoundsErr& e);

// Bounds errors of strings and lists: NPOSINDEX for ZK_NPOS, else INDEXERR.
[[noreturn]] void zkRaiseIndexErr(ZKSize_T index, ZKSize_T count);
[[noreturn]] void zkRaiseSubStringErr(ZKSize_T start, ZKSize_T len, ZKSize_T strLen);

typedef void (*ZKErrHandler)(const ZKxmsg&);
ZKErrHandler zkSetErrHandler(ZKErrHandler h);
ZKErrHandler zkGetErrHandler();
// The default handler: a task-modal "Fatal Error" box, then _exit(1).
void zkFatalErrHandler(const ZKxmsg& e);
