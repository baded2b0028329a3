#pragma once
// A cached HTTP object: a row of its site's object store whose data is the
// response body, with the stored status, the response's header fields, and
// an optional generated document. Its stream is what a .DEF file holds after
// the header record.
#include "Chain.h"
#include "DataStore.h"

class HTTPSITE;
class HTTPMSGBASE;
class HTTPDOC;
class REQUESTPROCESS;

class HTTPOBJECT : public DATAOBJECT {
public:
    BBOOL linkList;          // streamed; never set by the gateway itself
    BBOOL headersPresent;    // the response's fields have been copied in
    BBOOL confirmedSinceStart;
    BBOOL revalidationCopy;  // not streamed: objects read back start without it
    long statusCode;
    long listedSize;         // latched by a cache listing's counting pass
    HTTPDOC* document;       // owned
    HTTPSITE* site;          // none for objects outside the cache
    REQUESTPROCESS* fetchingRequest;
    CHAIN<DATAVALUE> headers;  // owned, in arrival order
    CHAIN<DATAVALUE> links;    // never filled; emptied when linkList is set

    // In the site's store, or the system store without a site; an empty name
    // becomes "#" and the identifier in decimal.
    HTTPOBJECT(HTTPSITE* site, const char* name, BBOOL newId, BBOOL addToStore, unsigned long id);
    ~HTTPOBJECT() override;

    const char* ItemClassName() const override { return "HTTPOBJECT"; }
    unsigned long ItemClassID() const override { return QvTag("HTOB"); }
    void* ItemGetAddress() const override { return dynamic_cast<void*>(const_cast<HTTPOBJECT*>(this)); }
    int ItemGetSize() const override { return (int)sizeof(HTTPOBJECT); }
    BBOOL StreamIn(STREAMBUF& in) override;
    BBOOL StreamOut(STREAMBUF& out) override;
    int ItemStreamSize(BBOOL ask) override;
    const char* TypeName() override;

    // Appends a field (name cut to 63 characters) allocated in the object's store.
    DATAVALUE* AddHeader(const char* name, const char* value);
    // The bytes as the data in one block (not pooled buffers); FALSE when the
    // area could not be had at that length.
    BBOOL SetBlockData(const char* bytes, long length);
    // Appends a copy of every field, in order, to the message's fields; the count.
    int CopyHeaders(HTTPMSGBASE& message);
    // Attaches a document, releasing one of another kind; the object owns it.
    void SetDocument(HTTPDOC* doc);
    // Clears the document link without releasing it.
    void DetachDocument() { document = nullptr; }
};

// The base of generated documents: it holds its object and streams nothing.
class HTTPDOC : public STORABLE, public STREAMABLE {
public:
    HTTPOBJECT* object;

    explicit HTTPDOC(HTTPOBJECT* object);
    ~HTTPDOC() override;

    const char* ItemClassName() const override { return "HTTPDOC"; }
    unsigned long ItemClassID() const override { return QvTag("HTTD"); }
    void* ItemGetAddress() const override { return dynamic_cast<void*>(const_cast<HTTPDOC*>(this)); }
    int ItemGetSize() const override { return (int)sizeof(HTTPDOC); }
    BBOOL StreamIn(STREAMBUF&) override { return TRUE; }
    BBOOL StreamOut(STREAMBUF&) override { return TRUE; }
    int ItemStreamSize(BBOOL) override { return 52; }
    virtual const char* TypeName() { return "HTTP Document"; }
};

// Makes the document of that class tag on the object (HTMD: the HTML page);
// none for other tags. Set by the page code so the object needs no page header.
typedef HTTPDOC* (*HTTPDOCMAKER)(HTTPOBJECT* object, unsigned long classTag);
extern HTTPDOCMAKER _pHTTPDocMaker;
