#include "CommLink.h"
#include "ByteOrder.h"
#include "RequestMonitor.h"
#include <cstring>
#include <vector>

COMMLINK::COMMLINK(LINKTYPE type, LINKCONTROL* ctl, BBOOL isQueued)
    : accepting(LinkTypeAccepting(type)), inbound(LinkTypeInbound(type)), open(0), connected(0),
      lookupPending(0), connectPending(0), closed(0), peerClosed(0), aborted(0), reset(0), refused(0),
      shutdownRequested(0), blocking(0), dataPending(0), closeHandled(0), lookupDone(0),
      cleanShutdownStarted(0), resetable(0), queued(isQueued), receivingStopped(0), sendActive(0),
      messageMode(0), cleanShutdownWanted(0), secondaryLimit(1), error(0), systemError(0),
      blockingTimeOut(0), control(ctl ? ctl : _pDefaultLinkControl), netInterface(nullptr),
      wakeEvent(nullptr), owner(nullptr), lock(MSEM_LOCAL), queueLimit(0), maxMessage(0), lowWaterMark(0),
      queuedForSending(0), receivedCount(0), sentCount(0), pool(nullptr), recvQueue(0), sendQueue(0),
      currentRecvBuffer(nullptr), nextRecvBuffer(nullptr), currentSendBuffer(nullptr) {
    messageMode = control ? control->messageMode : 0;
    recvQueue.lock.Attach(&lock);
    sendQueue.lock.Attach(&lock);
}

COMMLINK::~COMMLINK() { COMMLINK::CloseLink(1); }

int COMMLINK::OpenLink(const char*, BUFFERPOOL* bufferPool, int limit) {
    pool = bufferPool ? bufferPool : &_pSupport->bufferPool;
    maxMessage = pool->bufferSize - (messageMode ? 4 : 0);
    lowWaterMark = maxMessage - (maxMessage >> 4);
    queueLimit = limit;
    open = 1;
    return error;
}

void COMMLINK::ReturnBuffer(IOBUFFER*& buffer) {
    if (buffer) buffer->freeobj();
    buffer = nullptr;
}

void COMMLINK::CloseLink(BBOOL freeBuffers) {
    if (freeBuffers) {
        lock.Reserve(QV_WAIT_FOREVER, 0);
        ReturnBuffer(currentRecvBuffer);
        ReturnBuffer(nextRecvBuffer);
        ReturnBuffer(currentSendBuffer);
        while (IOBUFFER* b = recvQueue.RemoveFirst()) b->freeobj();
        while (IOBUFFER* b = sendQueue.RemoveFirst()) b->freeobj();
        queuedForSending = 0;
        lock.Release(0);
    }
    connected = 0;
    open = 0;
    lookupPending = 0;
    connectPending = 0;
}

int COMMLINK::GetLocalName(const BUFFER& out, BBOOL, BBOOL) {
    if (out.data && out.length > 0) out.data[0] = 0;
    return 0;
}

BBOOL COMMLINK::QueryLinkStatus(void*) { return open && connected && error == 0 && !closed; }

BBOOL COMMLINK::QueryRecvStatus() { return recvQueue.count > 0; }

BBOOL COMMLINK::QuerySendActive(BBOOL useVirtual) {
    BBOOL up = useVirtual ? QueryLinkStatus() : COMMLINK::QueryLinkStatus();
    if (!up) return 0;
    return sendActive || currentSendBuffer != nullptr || sendQueue.count > 0;
}

BBOOL COMMLINK::QuerySendStatus(BBOOL useVirtual) {
    return useVirtual ? QueryLinkStatus() : COMMLINK::QueryLinkStatus();
}

BBOOL COMMLINK::RecvMessage(const BUFFER& into, BUFFER& got) {
    IOBUFFER* b = GetNextMessage();
    if (!b) return 0;
    const char* from = b->cursor.data;
    int n = b->cursor.length;
    if (messageMode && n > 3) {
        from += 4;
        n -= 4;
    }
    if (n > into.length) n = into.length;  // the rest of the message is dropped
    if (n < 0) n = 0;
    if (n > 0) memcpy(into.data, from, n);
    got.data = into.data;
    got.length = n;
    b->freeobj();
    return 1;
}

void COMMLINK::PrepareForFilling(IOBUFFER* b, int size) {
    b->cursor.data = b->area.data;
    b->cursor.length = size;
    b->owning = 1;
}

BBOOL COMMLINK::SendMessage(const BUFFER& data, BBOOL force) {
    if (!queued && !force) return 0;
    if (!COMMLINK::QueryLinkStatus()) return 0;
    int total = data.length > 0 ? data.length : 0;
    // A framed message must arrive whole: a longer one would be misread by the receiver.
    if (messageMode && total > maxMessage) return 0;
    if (!messageMode && total == 0) return 1;
    int pieces = total == 0 ? 1 : (total + maxMessage - 1) / maxMessage;

    // Every piece is had before any is queued, so a message goes all or nothing.
    std::vector<IOBUFFER*> got;
    got.reserve(pieces);
    const char* from = data.data;
    int left = total;
    for (int i = 0; i < pieces; i++) {
        IOBUFFER* b = pool->GetBuffer(0);
        if (!b) {
            for (IOBUFFER* g : got) g->freeobj();
            return 0;
        }
        PrepareForFilling(b, b->capacity);
        char* at = b->cursor.data;
        if (i == 0 && messageMode) {
            WriteFrameLength(at, (unsigned long)total);
            at += 4;
        }
        int n = left < maxMessage ? left : maxMessage;
        if (n > 0) memcpy(at, from, n);
        from += n;
        left -= n;
        b->cursor.length = (int)(at + n - b->area.data);
        b->cursor.data = b->area.data;
        got.push_back(b);
    }

    lock.Reserve(QV_WAIT_FOREVER, 0);
    if (queueLimit > 0 && sendQueue.count + pieces > queueLimit) {
        lock.Release(0);
        for (IOBUFFER* g : got) g->freeobj();
        return 0;
    }
    for (IOBUFFER* g : got) {
        InterlockedIncrement(&queuedForSending);
        sendQueue.Add(*g);
    }
    lock.Release(0);
    SendNotify();
    return 1;
}

void COMMLINK::SetBlocking(BBOOL block, int timeOut) {
    blocking = block;
    blockingTimeOut = timeOut;
}

int COMMLINK::Shutdown(BBOOL) {
    shutdownRequested = 1;
    closed = 1;
    NotifyMonitor();
    PostWake();
    return 0;
}

BBOOL COMMLINK::WaitMessage() {
    for (;;) {
        BBOOL status = QueryRecvStatus();
        // A link that has ended will get nothing more: waiting on would never return.
        if (status || error || !wakeEvent || closed || !open || (!connected && !connectPending)) return status;
        wakeEvent->WaitEvent(QV_WAIT_FOREVER);
        wakeEvent->ResetEvent();
    }
}

BBOOL COMMLINK::SendNotify() { return COMMLINK::QueryLinkStatus(); }

IOBUFFER* COMMLINK::GetNextMessage() { return recvQueue.RemoveFirst(); }

IOBUFFER* COMMLINK::GetFullMessage() {
    IOBUFFER* found = nullptr;
    lock.Reserve(QV_WAIT_FOREVER, 0);
    for (bSPOINTER* c = recvQueue.first; c->target; c = c->next) {
        IOBUFFER* b = (IOBUFFER*)c->target;
        if (!b->incomplete) {
            recvQueue.bRemove(*c, 1);
            found = b;
            break;
        }
    }
    lock.Release(0);
    return found;
}

IOBUFFER* COMMLINK::PrepareNextMessage(int size, BBOOL extend) {
    if (size <= 0 || size > maxMessage) size = maxMessage;
    if (!extend || !currentRecvBuffer) {
        IOBUFFER* b = pool ? pool->GetBuffer(0) : nullptr;
        if (!b) return nullptr;
        PrepareForFilling(b, size);
        ReturnBuffer(nextRecvBuffer);
        nextRecvBuffer = b;
        return b;
    }
    IOBUFFER* b = currentRecvBuffer;
    char* start = b->area.data;
    char* pos = b->cursor.data;
    if (start + size > pos + b->cursor.length) {
        long r = (long)(start + size - pos);
        b->cursor.length = r > 0 ? r : 0;
    }
    if (pos > start) dataPending = 1;
    return b;
}

BBOOL COMMLINK::PutMessage(IOBUFFER* buffer, BBOOL) {
    lock.Reserve(QV_WAIT_FOREVER, 0);
    if (queueLimit > 0 && sendQueue.count >= queueLimit) {
        lock.Release(0);
        return 0;
    }
    InterlockedIncrement(&queuedForSending);
    sendQueue.Add(*buffer);
    lock.Release(0);
    SendNotify();
    return 1;
}

BBOOL COMMLINK::StartCleanShutdown() {
    IOBUFFER* marker = pool ? pool->GetBuffer(-1) : nullptr;
    if (!marker) {
        cleanShutdownWanted = 0;
        return 0;
    }
    cleanShutdownStarted = 1;
    recvQueue.Add(*marker);
    return 1;
}

void COMMLINK::WriteFrameLength(char* at, unsigned long n) {
    PutBe32(at, n);
}

unsigned long COMMLINK::ReadFrameLength(const char* at) {
    return GetBe32(at);
}

COMMLINK::FrameCheck COMMLINK::CheckFrame(IOBUFFER* b) {
    int have = b->cursor.length;
    if (have < 4) return FRAME_BAD;
    unsigned long n = ReadFrameLength(b->cursor.data);
    if (n == 0) return have == 4 ? FRAME_EMPTY : FRAME_BAD;
    if (n > (unsigned long)maxMessage || (long)n != have - 4) return FRAME_BAD;
    return FRAME_DELIVER;
}

void COMMLINK::FailLink(int code) {
    error = code;
    closed = 1;
    aborted = 1;
    PostWake();
}

void COMMLINK::PostWake() {
    // Through the owner's monitor, so that a shared monitor thread learns of it too.
    if (owner && owner->monitor && wakeEvent == &owner->monitor->wakeEvent)
        owner->monitor->RequestWakeup();
    else if (wakeEvent)
        wakeEvent->PostEvent();
}
