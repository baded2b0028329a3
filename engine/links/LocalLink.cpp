#include "LocalLink.h"
#include "TaskAbend.h"
#include <cstring>

CHAIN<LOCALLINK>* _pLocalLinks = nullptr;
int DLOCLINK_INIT::InitCount = 0;

DLOCLINK_INIT::DLOCLINK_INIT() {
    if (InitCount++ != 0) return;
    _pLocalLinks = new CHAIN<LOCALLINK>(1);
    if (!_pLocalLinks) _Task_Abend(ABEND_STG101, sizeof(CHAIN<LOCALLINK>));
    _pLocalLinks->prepare();
}

DLOCLINK_INIT::~DLOCLINK_INIT() {
    if (--InitCount != 0) return;
    if (_pLocalLinks) {
        _pLocalLinks->RemoveAll(0, nullptr);  // the links are not ours to destroy
        _pLocalLinks->freeobj();
    }
    _pLocalLinks = nullptr;
}

LOCALLINK::LOCALLINK(LINKTYPE type, const char* text, LINKCONTROL* ctl)
    : COMMLINK(type, ctl, 1), peer(nullptr), registryNode(nullptr) {
    name[0] = 0;
    if (text) {
        size_t n = strnlen(text, sizeof(name) - 1);
        memcpy(name, text, n);
        name[n] = 0;
    }
}

LOCALLINK::~LOCALLINK() {
    if (open || registryNode) CloseLink(1);
}

LOCALLINK* LOCALLINK::findlink(const char* text) {
    if (!text || !_pLocalLinks) return nullptr;
    LOCALLINK* found = nullptr;
    _pLocalLinks->lock.Reserve(QV_WAIT_FOREVER, 0);
    for (bSPOINTER* c = _pLocalLinks->first; c->target; c = c->next) {
        LOCALLINK* l = (LOCALLINK*)c->target;
        if (strcmp(l->name, text) == 0) {
            found = l;
            break;
        }
    }
    _pLocalLinks->lock.Release(0);
    return found;
}

int LOCALLINK::OpenLink(const char* address, BUFFERPOOL* bufferPool, int limit) {
    if (peer) return ErrorCannotOpen;
    COMMLINK::OpenLink(address, bufferPool, limit);
    _pLocalLinks->lock.Reserve(QV_WAIT_FOREVER, 0);
    if (!address || !*address) {
        connectPending = 1;
    } else {
        LOCALLINK* other = findlink(address);
        if (!other || other->peer) {
            _pLocalLinks->lock.Release(0);
            error = ErrorCannotOpen;
            return error;
        }
        if (other->peerClosed && !other->shutdownRequested && other->error == 0) {
            other->closed = 0;  // a new conversation on an end whose last peer left
            other->peerClosed = 0;
        }
        peer = other;
        other->peer = this;
        connected = 1;
        other->connected = 1;
        other->connectPending = 0;
        other->PostWake();
    }
    if (!registryNode) registryNode = &_pLocalLinks->bAdd(*this);  // an end opened again stays listed once
    _pLocalLinks->lock.Release(0);
    return error;
}

void LOCALLINK::CloseLink(BBOOL freeBuffers) {
    if (_pLocalLinks) {
        _pLocalLinks->lock.Reserve(QV_WAIT_FOREVER, 0);
        if (peer) {
            LOCALLINK* other = peer;
            other->peer = nullptr;
            other->connected = 0;
            // The other end has ended in order, as a socket peer that closes does.
            other->peerClosed = 1;
            other->closed = 1;
            other->PostWake();
            peer = nullptr;
        }
        connected = 0;
        if (registryNode && !_pLocalLinks->removingAll) _pLocalLinks->bRemove(*registryNode, 1);
        registryNode = nullptr;
        _pLocalLinks->lock.Release(0);
    }
    COMMLINK::CloseLink(freeBuffers);
}

BBOOL LOCALLINK::QueryLinkStatus(void* arg) {
    connected = peer != nullptr;
    return COMMLINK::QueryLinkStatus(arg);
}

BBOOL LOCALLINK::QuerySendStatus(BBOOL useVirtual) {
    BBOOL up = useVirtual ? QueryLinkStatus() : COMMLINK::QueryLinkStatus();
    if (!up) return 0;
    LOCALLINK* other = peer;
    // A limit of 0 or less means none (a transport opens its links with -1).
    if (other && other->queueLimit > 0 && other->recvQueue.count >= other->queueLimit) return 0;
    return 1;
}

BBOOL LOCALLINK::SendNotify() {
    _pLocalLinks->lock.Reserve(QV_WAIT_FOREVER, 0);
    LOCALLINK* other = peer;
    if (!other) {
        _pLocalLinks->lock.Release(0);
        return 0;
    }
    while (IOBUFFER* b = sendQueue.RemoveFirst()) {
        if (other->messageMode && !other->closed) {
            FrameCheck check = other->CheckFrame(b);
            if (check == FRAME_EMPTY) {
                b->freeobj();
                continue;
            }
            if (check == FRAME_BAD) {
                b->freeobj();
                other->FailLink(ErrorMessageTooLong);
                continue;
            }
        } else if (other->messageMode) {
            b->freeobj();  // the receiver ended on a bad frame
            continue;
        }
        other->recvQueue.Add(*b);
    }
    other->PostWake();
    _pLocalLinks->lock.Release(0);
    return 1;
}
