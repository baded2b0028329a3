#pragma once
// A message link between two ends in this process; buffers move across without copying.
#include "CommLink.h"

class LOCALLINK : public COMMLINK {
public:
    // The control is the default one unless a caller wants framed messages.
    LOCALLINK(LINKTYPE type, const char* name, LINKCONTROL* control = nullptr);
    ~LOCALLINK() override;

    QV_ITEM_IDENTITY(LOCALLINK, "LOCALLINK", "LLNK")

    static LOCALLINK* findlink(const char* name);

    int OpenLink(const char* address, BUFFERPOOL* pool, int queueLimit) override;
    void CloseLink(BBOOL freeBuffers) override;
    BBOOL QueryLinkStatus(void* = nullptr) override;
    BBOOL QuerySendStatus(BBOOL useVirtual) override;
    BBOOL SendNotify() override;

    char name[64];
    LOCALLINK* peer;
    bSPOINTER* registryNode;
};

// Every end that is open; its lock also guards pairing and the hand-over of buffers to a peer.
extern CHAIN<LOCALLINK>* _pLocalLinks;

class DLOCLINK_INIT {
public:
    DLOCLINK_INIT();
    ~DLOCLINK_INIT();
    static int InitCount;
};

static DLOCLINK_INIT _dLocLinkInit;
