#pragma once
// A pooled stream buffer that chains can hold and links can queue.
#include "BaseItem.h"
#include "Chain.h"
#include "Streamable.h"

class IOBUFFER : public STREAMBUF, public STORABLE, public BLOCKED {
public:
    BUFFERPOOL* pool;  // where it came from and goes back to
    unsigned long userWord1;  // free for the buffer's user; cleared by Reset
    unsigned long userWord2;
    BBOOL noReuse;   // own size, or memory already given back: never kept
    BBOOL foreign;   // works over memory it does not own
    BBOOL fromData;  // the memory is a cell of the pool's data allocator
    // Message bookkeeping of the links and the services' stream handlers.
    BBOOL owning;         // a link filled this buffer
    char* msgStart;       // where the message starts
    long msgLength;
    BBOOL incomplete;     // the message continues in the next buffer
    long scanned;         // bytes a stream handler has already looked at
    unsigned long modeWord;

    explicit IOBUFFER(BUFFERPOOL* pool);
    ~IOBUFFER() override;  // fatal while it still has memory: "DEL104"

    // Back to an empty, inactive buffer with no message state.
    void Reset();
    // Gives the memory back and keeps the object.
    void FreeArea();

    void freeobj() override;  // the last release returns it to its pool
    void freeobj(MEMORYPOOL* p) override { BASEITEM::freeobj(p); }
    void freeobj(ALLOCATOR& a) override { BASEITEM::freeobj(a); }

    QV_ITEM_IDENTITY(IOBUFFER, "IOBUFFER", "IOBF")
};

// Several buffers read as one value.
class SGBLOB {
public:
    BLOBDEF blob;  // length: the parts' remaining counts together
    CHAIN<IOBUFFER> parts;

    SGBLOB() : parts(FALSE) {}
    explicit SGBLOB(IOBUFFER* buffer);
    ~SGBLOB();  // lets go of the parts without releasing them
    SGBLOB(const SGBLOB&) = delete;
    SGBLOB& operator=(const SGBLOB&) = delete;

    void Add(IOBUFFER* buffer);
};
