#include "AppStatus.h"

#include <cstring>

#include "AppConnection.h"
#include "AppDefinition.h"
#include "AppRequest.h"
#include "CommLink.h"
#include "LookupTable.h"
#include "SvrSystem.h"
#include "TextHelpers.h"

namespace {
// Link kinds by the link's class id.
LOOKUPROW LINK_KINDS[] = {
    {"Local", 0, 1, (intptr_t)QvTag("LLNK"), 0, 0},
    {"TCPIP", 0, 1, (intptr_t)QvTag("TWSL"), 0, 0},
    {"", 0, 0, 0, 0, 0},
};

// The data request of the connection's current request, or null.
DATAREQUEST* currentData(APPCONNECTION* c) {
    return c && c->currentRequest ? c->currentRequest->request : nullptr;
}

// Fields take texts cut to their size and always terminated.
template <int N>
void setText(char (&field)[N], const char* text) {
    _strzcpy(field, text ? text : "", N);
}
}  // namespace

APPCONNNOTIFY APPSTATUS::pdefaultConnNotify = nullptr;

MSEMAPHORE& APPSTATUS::dataAccess() {
    static MSEMAPHORE lock(TRUE);
    return lock;
}

void APPSTATUS::Lock() { dataAccess().Reserve(QV_WAIT_FOREVER, FALSE); }
void APPSTATUS::UnLock() { dataAccess().Release(FALSE); }

APPSTATUS::APPSTATUS()
    : connection(nullptr), changed(0), cleared(1), inbound(0), service{}, peer{}, command{}, result{}, state{},
      linkType{}, method{}, line(0), resultCount(0), resultTotal(0), commandBuilt(0), requestId(0) {}

APPSTATUS::~APPSTATUS() {}

BBOOL APPSTATUS::skip() const { return _pSvr && _pSvr->fastTermination; }

void APPSTATUS::Startup(APPCONNECTION* c) {
    if (skip()) return;
    Lock();
    connection = c;
    word = (long)(c != nullptr);
    populate(currentData(c));
    inbound = 0;
    changed = 1;
    cleared = 0;
    commandBuilt = 0;
    requestId = 0;
    UnLock();
    NotifyChange();
}

void APPSTATUS::NotifyConnectLink() {
    if (skip()) return;
    Lock();
    fillConnection();
    changed = 1;
    UnLock();
    NotifyChange();
}

void APPSTATUS::NotifyTerminateLink() {
    if (skip()) return;
    Lock();
    service[0] = peer[0] = command[0] = result[0] = state[0] = linkType[0] = method[0] = 0;
    line = resultCount = resultTotal = 0;
    inbound = 0;
    changed = 1;
    cleared = 1;
    connection = nullptr;
    UnLock();
    NotifyChange();
}

void APPSTATUS::NotifyRequest(DATAREQUEST* request) {
    if (skip()) return;
    Lock();
    if (request && request->result) {
        fillResult(request);
    } else {
        fillRequest(request);
        fillCommand(request);
    }
    changed = 1;
    UnLock();
    NotifyChange();
}

void APPSTATUS::NotifyByteCount() {
    if (skip()) return;
    Lock();
    BBOOL notify = FALSE;
    if (connection) {
        if (resultTotal == 0) resultTotal = connection->GetResultTotal();
        long count = connection->GetResultCount();
        if (count != resultCount) {
            resultCount = count;
            changed = 1;
            notify = TRUE;
        }
    }
    UnLock();
    if (notify) NotifyChange();
}

void APPSTATUS::RebuildCommand() {
    Lock();
    if (!commandBuilt && connection) {
        DATAREQUEST* request = currentData(connection);
        if (!request && connection->requests.Count() > 0) request = connection->requests.Last();
        fillCommand(request);
    }
    UnLock();
}

void APPSTATUS::populate(DATAREQUEST* request) {
    setText(service, connection ? connection->GetApplicationType() : nullptr);
    if (connection && connection->link)
        setText(linkType, _LookUpValue(LINK_KINDS, (intptr_t)connection->link->ItemClassID())->name);
    fillRequest(request);
    fillResult(request);
    fillCommand(request);
    fillConnection();
}

void APPSTATUS::fillRequest(DATAREQUEST* request) {
    unsigned long id = request ? request->requestId.id : 0;
    if (id != requestId) {
        requestId = id;
        commandBuilt = 0;
    }
    if (!request) {
        command[0] = 0;
        method[0] = 0;
        return;
    }
    BUFFER out(method, sizeof method);
    request->GetReqMethod(out);
    fillCounts();
}

void APPSTATUS::fillResult(DATAREQUEST* request) {
    DATARESULT* r = request ? request->result : nullptr;
    if (!r) {
        if (request) setText(state, "Active");
        result[0] = 0;
        return;
    }
    setText(state, r->GetStatus());
    fillCounts();
    BUFFER out(result, sizeof result);
    r->GetMsgText(out);
}

void APPSTATUS::fillCommand(DATAREQUEST* request) {
    if (commandBuilt || !request) return;
    BUFFER out(command, sizeof command);
    request->GetReqCmd(out);
    commandBuilt = 1;
}

void APPSTATUS::fillCounts() {
    resultCount = connection ? connection->GetResultCount() : 0;
    resultTotal = connection ? connection->GetResultTotal() : 0;
}

void APPSTATUS::fillConnection() {
    APPCONNECTION* c = connection;
    if (!c) {
        peer[0] = 0;
        resultCount = resultTotal = 0;
        return;
    }
    COMMLINK* link = c->link;
    const BBOOL accepting = c->inbound || (link && link->accepting);
    char text[sizeof peer];
    _strzcpy(text, c->inbound ? "From: " : "To: ", sizeof text);
    _strzcat(text, c->definition ? c->definition->GetUserName(c) : "", sizeof text);
    setText(peer, text);
    fillCounts();
    if (c->inbound && c->connectSeen && !(link && link->accepting)) {
        setText(state, "Inbound");
        inbound = 1;
    } else if (!c->connectSeen) {
        if (accepting) setText(state, "Waiting");
        else if (!link || !link->open || link->lookupPending) setText(state, "Locating");
        else setText(state, "Connecting");
    } else {
        setText(state, currentData(c) ? "Waiting" : "Active");
    }
    line = (!c->inbound && link && link->netInterface) ? link->netInterface->lineNumber : 0;
}
