#include "DataTransport.h"

DATATRANSPORT::DATATRANSPORT() : STREAMDEST(0), link(nullptr), ownsLink(0), streamMode(1) {}

DATATRANSPORT::DATATRANSPORT(const char* text, int size, IOMODE ioMode, BBOOL flag)
    : STREAMDEST(flag), link(nullptr), ownsLink(0), streamMode(1) {
    SetStream(text, size, ioMode, 0);
}

DATATRANSPORT::~DATATRANSPORT() {
    if (ownsLink && link) {
        link->CloseLink(1);
        link->freeobj();
    }
    link = nullptr;
}

int DATATRANSPORT::LinkFailure() const {
    if (!link) return COMMLINK::ErrorCannotOpen;
    return link->error ? link->error : COMMLINK::ErrorCannotOpen;
}

int DATATRANSPORT::OpenStream(const char* text, int size, IOMODE ioMode) {
    if (!SetStream(text, size, ioMode, streamMode)) return -1;
    buffer.SetEmpty();
    if (!link) return -1;
    if (!link->open) {
        int rc = link->OpenLink(name, nullptr, -1);
        if (rc != 0) {
            buffer.BufFree();
            return rc;
        }
    }
    open = 1;
    return 0;
}

int DATATRANSPORT::CloseStream() {
    if (link) link->CloseLink(1);
    buffer.BufFree();
    open = 0;
    return status;
}

int DATATRANSPORT::ReadBuffer() {
    if (!link) return LinkFailure();
    link->WaitMessage();
    BUFFER into(buffer.area.data, buffer.capacity);
    BUFFER got;
    if (link->QueryRecvStatus() && link->RecvMessage(into, got)) {
        buffer.cursor.data = buffer.area.data;
        buffer.cursor.length = got.length;
        buffer.active = 1;
        return 0;
    }
    buffer.SetEmpty();
    return LinkFailure();
}

int DATATRANSPORT::WriteBuffer() {
    long used = buffer.Used();
    BBOOL sent = 1;
    if (used > 0) sent = link && link->SendMessage(BUFFER(buffer.area.data, used), 0);
    buffer.SetEmpty();
    return sent ? 0 : LinkFailure();
}
