#include "HttpObject.h"

#include <cstdio>
#include <cstring>

#include "HttpMsgBase.h"
#include "HttpSite.h"
#include "QvWindows.h"
#include "TableIO.h"

using tableio::PutFlag;
using tableio::PutLong;

HTTPDOCMAKER _pHTTPDocMaker = nullptr;

namespace {
// Flags and counts in front of the object's own stream.
const unsigned long kHttpFrame = 255;

DATASTORE* StoreOf(HTTPSITE* site) { return site ? &site->objects : DATASTORE::System(); }

void EmptyValues(CHAIN<DATAVALUE>& chain) { chain.RemoveAll(TRUE, nullptr); }
}  // namespace

HTTPOBJECT::HTTPOBJECT(HTTPSITE* s, const char* name, BBOOL newId, BBOOL addToStore, unsigned long id)
    : DATAOBJECT(StoreOf(s), name, newId, (unsigned short)(addToStore ? 1 : 0), id),
      linkList(0),
      headersPresent(0),
      confirmedSinceStart(0),
      revalidationCopy(0),
      statusCode(0),
      listedSize(0),
      document(nullptr),
      site(s),
      fetchingRequest(nullptr),
      headers(TRUE),
      links(TRUE) {
    if (s) InterlockedIncrement(&s->objectCount);
}

HTTPOBJECT::~HTTPOBJECT() {
    if (site) InterlockedDecrement(&site->objectCount);
    EmptyValues(headers);
    if (linkList) EmptyValues(links);
    if (HTTPDOC* d = document) {
        document = nullptr;
        d->object = nullptr;
        d->freeobj();
    }
}

DATAVALUE* HTTPOBJECT::AddHeader(const char* name, const char* value) {
    DATASTORE* store = Store();
    DATAVALUE* v = store ? new (*store) DATAVALUE(*store) : new DATAVALUE();
    v->SetName(name);
    if (value) v->SetData(BUFFER(const_cast<char*>(value), (long)std::strlen(value)));
    v->prepare();  // the chain owns this reference
    headers.Add(*v);
    return v;
}

BBOOL HTTPOBJECT::SetBlockData(const char* bytes, long length) {
    if (length < 0 || (length > 0 && !bytes)) length = 0;
    SetData(BUFFER(nullptr, length));
    if (DataLength() != length) return FALSE;
    if (length == 0) return TRUE;
    if (!dataBlock || !dataBlock->data) return FALSE;
    std::memcpy(dataBlock->data, bytes, length);
    dataChanged = 1;
    return TRUE;
}

int HTTPOBJECT::CopyHeaders(HTTPMSGBASE& message) {
    int n = 0;
    char value[HTTP_HEADER_LIMIT];
    CITERATOR<DATAVALUE> it;
    for (DATAVALUE* v = it.Begin(headers); v; v = it.Next()) {
        HeaderValue(*v, value, sizeof value);
        message.AddHeader(v->valueName, value);
        ++n;
    }
    it.End();
    return n;
}

void HTTPOBJECT::SetDocument(HTTPDOC* doc) {
    if (document == doc) return;
    HTTPDOC* old = document;
    document = doc;
    if (old) {
        old->object = nullptr;
        old->freeobj();
    }
}

const char* HTTPOBJECT::TypeName() { return document ? document->TypeName() : "HTTP Object"; }

int HTTPOBJECT::ItemStreamSize(BBOOL ask) {
    if (ask && (STREAMABLE::flags & SPF_WRITETHROUGH)) return 0;
    return 512;
}

BBOOL HTTPOBJECT::StreamOut(STREAMBUF& out) {
    out << BEGINDI(0, 0, kHttpFrame);
    PutFlag(out, linkList);
    PutFlag(out, headersPresent);
    PutLong(out, (unsigned long)statusCode);
    PutLong(out, (unsigned long)headers.Count());
    PutLong(out, document ? document->ItemClassID() : 0);
    out << ENDDI();
    DATAOBJECT::StreamOut(out);
    CITERATOR<DATAVALUE> it;
    for (DATAVALUE* v = it.Begin(headers); v; v = it.Next()) out << *v;
    it.End();
    if (document) out << *document;
    return streamStatus == 0;
}

BBOOL HTTPOBJECT::StreamIn(STREAMBUF& in) {
    in >> BEGINDI();
    tableio::FrameReader frame(in);
    linkList = frame.Flag();
    headersPresent = frame.Flag();
    statusCode = (long)frame.Long();
    long count = (long)frame.Long();
    unsigned long docTag = frame.Long();
    in >> ENDDI();
    DATAOBJECT::StreamIn(in);
    DATASTORE* store = Store();
    for (long i = 0; i < count && streamStatus == 0; ++i) {
        DATAVALUE* v = store ? new (*store) DATAVALUE(*store) : new DATAVALUE();
        in >> *v;
        if (v->streamStatus && !streamStatus) streamStatus = v->streamStatus;
        v->prepare();
        headers.Add(*v);
    }
    if (docTag && streamStatus == 0 && _pHTTPDocMaker)
        if (HTTPDOC* d = _pHTTPDocMaker(this, docTag)) in >> *d;
    return streamStatus == 0;
}

HTTPDOC::HTTPDOC(HTTPOBJECT* o) : STREAMABLE(0, 0), object(o) {
    if (o) o->SetDocument(this);
}

HTTPDOC::~HTTPDOC() {
    if (object && object->document == this) object->DetachDocument();
}
