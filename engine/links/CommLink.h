#pragma once
// The abstract message link: a receive queue and a send queue of pooled buffers.
#include "QvWindows.h"
#include "LinkControl.h"
#include "LinkInterface.h"
#include "Semaphore.h"
#include "Chain.h"
#include "IoBuffer.h"
#include "BufferPool.h"

class DATACONNECTION;

class COMMLINK : public STORABLE {
public:
    COMMLINK(LINKTYPE type, LINKCONTROL* control, BBOOL queued);
    ~COMMLINK() override;

    QV_ITEM_IDENTITY(COMMLINK, "COMMLINK", "CLNK")

    virtual int OpenLink(const char* address, BUFFERPOOL* pool, int queueLimit);
    virtual void CloseLink(BBOOL freeBuffers);
    virtual int BeginAccess() { return 0; }
    virtual void EndAccess() {}
    virtual int GetLocalName(const BUFFER& out, BBOOL, BBOOL);
    virtual BBOOL IsResetable() { return resetable; }
    virtual void NotifyMonitor() {}
    virtual BBOOL QueryLinkStatus(void* = nullptr);
    virtual BBOOL QueryRecvStatus();
    virtual BBOOL QuerySendActive(BBOOL useVirtual);
    virtual BBOOL QuerySendStatus(BBOOL useVirtual);
    virtual BBOOL RecvMessage(const BUFFER& into, BUFFER& got);
    virtual int ResetLink() { return 0; }
    virtual BBOOL SendMessage(const BUFFER& data, BBOOL force);
    virtual void SetBlocking(BBOOL block, int timeOut = 0);
    virtual int Shutdown(BBOOL);
    virtual void StartReceiving() { receivingStopped = 0; }
    virtual void StopReceiving() { receivingStopped = 1; }
    virtual BBOOL WaitMessage();
    virtual BBOOL SendNotify();

    IOBUFFER* GetNextMessage();
    IOBUFFER* GetFullMessage();
    IOBUFFER* PrepareNextMessage(int size, BBOOL extend);
    BBOOL PutMessage(IOBUFFER* buffer, BBOOL force);
    BBOOL StartCleanShutdown();

    // Message-mode frames: a 4-byte length, most significant byte first, then the bytes.
    // Buffers hold the prefix in that order, so a queued buffer is a frame as it stands.
    static void WriteFrameLength(char* at, unsigned long length);
    static unsigned long ReadFrameLength(const char* at);
    // What a receiver does with a framed buffer: deliver it, drop an empty frame, or end the link.
    enum FrameCheck { FRAME_DELIVER, FRAME_EMPTY, FRAME_BAD };
    FrameCheck CheckFrame(IOBUFFER* buffer);
    // Ends the link because of an error seen while receiving.
    void FailLink(int code);

    static constexpr int ErrorCannotOpen = 9999;
    static constexpr int ErrorInterfaceDown = 9990;
    static constexpr int ErrorMessageTooLong = 10040;

    BBOOL accepting;
    BBOOL inbound;
    BBOOL open;
    BBOOL connected;
    BBOOL lookupPending;
    BBOOL connectPending;
    BBOOL closed;
    BBOOL peerClosed;
    BBOOL aborted;
    BBOOL reset;
    BBOOL refused;
    BBOOL shutdownRequested;
    BBOOL blocking;
    BBOOL dataPending;
    BBOOL closeHandled;
    BBOOL lookupDone;
    BBOOL cleanShutdownStarted;
    BBOOL resetable;
    BBOOL queued;
    BBOOL receivingStopped;
    BBOOL sendActive;
    BBOOL messageMode;
    BBOOL cleanShutdownWanted;
    int secondaryLimit;
    int error;
    int systemError;
    int blockingTimeOut;
    LINKCONTROL* control;
    LINKINTERFACE* netInterface;
    ESEMAPHORE* wakeEvent;
    DATACONNECTION* owner;
    MSEMAPHORE lock;  // local (a critical section): taken per buffer on the relay path
    int queueLimit;
    int maxMessage;
    int lowWaterMark;  // the delivery threshold of a stream buffer
    volatile long queuedForSending;
    volatile long receivedCount;
    volatile long sentCount;
    BUFFERPOOL* pool;
    CHAIN<IOBUFFER> recvQueue;
    CHAIN<IOBUFFER> sendQueue;
    IOBUFFER* currentRecvBuffer;
    IOBUFFER* nextRecvBuffer;
    IOBUFFER* currentSendBuffer;

protected:
    void PrepareForFilling(IOBUFFER* buffer, int size);
    void ReturnBuffer(IOBUFFER*& buffer);
    void PostWake();
};
