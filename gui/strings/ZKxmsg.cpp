#include "ZKxmsg.h"

#include "QvWindows.h"
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

const char kCore[] = "zkcore7.0";
const char kTools[] = "zktools7.0";

const ZKCatMsg kNoMem = {kCore, 0x1005, "[NOMEM] No memory"};
const ZKCatMsg kSubString = {kTools, 0x2010, "[SUBSTRING] Illegal substring (%d, %u) from %u element ZKCString"};
const ZKCatMsg kIndexErr = {kTools, 0x2013, "[INDEXERR] Illegal Index (%u) for collection or string with %u elements"};
const ZKCatMsg kNposIndex = {kTools, 0x2014, "[NPOSINDEX] The value ZK_NPOS cannot be used as an index."};

char* dupText(const char* s) {
    if (!s) s = "";
    size_t n = std::strlen(s) + 1;
    char* p = static_cast<char*>(std::malloc(n));
    if (!p) throw ZKxalloc(static_cast<ZKSize_T>(n));
    std::memcpy(p, s, n);
    return p;
}

ZKErrHandler g_handler = zkFatalErrHandler;

}  // namespace

const ZKCatMsg* ZKCORE_NOMEM() { return &kNoMem; }
const ZKCatMsg* ZKTOOL_SUBSTRING() { return &kSubString; }
const ZKCatMsg* ZKTOOL_INDEXERR() { return &kIndexErr; }
const ZKCatMsg* ZKTOOL_NPOSINDEX() { return &kNposIndex; }

const char* zkMsgLookup(const ZKCatMsg* rec) { return rec ? rec->text : ""; }

ZKMessage::ZKMessage(const char* text) : text_(dupText(text)) {}

ZKMessage::ZKMessage(const ZKCatMsg* rec, ...) : text_(0) {
    char buf[504];
    va_list ap;
    va_start(ap, rec);
    // Bounded: a long argument must not run past the buffer.
    std::vsnprintf(buf, sizeof buf, zkMsgLookup(rec), ap);
    va_end(ap);
    buf[sizeof buf - 1] = 0;
    text_ = dupText(buf);
}

ZKMessage::ZKMessage(const ZKMessage& o) : text_(dupText(o.text_)) {}

ZKMessage& ZKMessage::operator=(const ZKMessage& o) {
    if (this != &o) {
        char* p = dupText(o.text_);
        std::free(text_);
        text_ = p;
    }
    return *this;
}

ZKMessage::~ZKMessage() { std::free(text_); }

ZKxmsg::ZKxmsg(const char* text) : text_(dupText(text)), owned_(1) {}
ZKxmsg::ZKxmsg(const ZKMessage& msg) : text_(dupText(msg.str())), owned_(1) {}
ZKxmsg::ZKxmsg(const char* text, int copy) : text_(copy ? dupText(text) : text), owned_(copy ? 1 : 0) {}
ZKxmsg::ZKxmsg(const ZKxmsg& o) : text_(o.owned_ ? dupText(o.text_) : o.text_), owned_(o.owned_) {}

ZKxmsg& ZKxmsg::operator=(const ZKxmsg& o) {
    if (this != &o) {
        const char* p = o.owned_ ? dupText(o.text_) : o.text_;
        if (owned_) std::free(const_cast<char*>(text_));
        text_ = p;
        owned_ = o.owned_;
    }
    return *this;
}

ZKxmsg::~ZKxmsg() {
    if (owned_) std::free(const_cast<char*>(text_));
}

void ZKxmsg::makeCopy(const char* text) {
    char* p = dupText(text);
    if (owned_) std::free(const_cast<char*>(text_));
    text_ = p;
    owned_ = 1;
}

void ZKxmsg::raise() const { throw ZKxmsg(*this); }

// The NOMEM text is static: raising it must not need memory.
ZKxalloc::ZKxalloc(ZKSize_T size) : ZKxmsg(kNoMem.text, 0), size_(size) {}

void ZKThrow(const ZKxmsg& e) { throw ZKxmsg(e); }
void ZKThrow(const ZKxalloc& e) { throw ZKxalloc(e); }
void ZKThrow(const ZKExternalErr& e) { throw ZKExternalErr(e); }
void ZKThrow(const ZKFileErr& e) { throw ZKFileErr(e); }
void ZKThrow(const ZKStreamErr& e) { throw ZKStreamErr(e); }
void ZKThrow(const ZKInternalErr& e) { throw ZKInternalErr(e); }
void ZKThrow(const ZKBoundsErr& e) { throw ZKBoundsErr(e); }

void zkRaiseIndexErr(ZKSize_T index, ZKSize_T count) {
    if (index == ZK_NPOS) ZKThrow(ZKBoundsErr(ZKMessage(ZKTOOL_NPOSINDEX())));
    ZKThrow(ZKBoundsErr(ZKMessage(ZKTOOL_INDEXERR(), index, count)));
}

void zkRaiseSubStringErr(ZKSize_T start, ZKSize_T len, ZKSize_T strLen) {
    ZKThrow(ZKBoundsErr(ZKMessage(ZKTOOL_SUBSTRING(), static_cast<int>(start), len, strLen)));
}

ZKErrHandler zkSetErrHandler(ZKErrHandler h) {
    ZKErrHandler old = g_handler;
    g_handler = h;
    return old;
}

ZKErrHandler zkGetErrHandler() { return g_handler; }

void zkFatalErrHandler(const ZKxmsg& e) {
    MessageBoxA(0, e.why(), "Fatal Error", MB_ICONHAND | MB_TASKMODAL);
    _exit(1);
}
