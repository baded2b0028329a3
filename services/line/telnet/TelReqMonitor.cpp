#include "TelReqMonitor.h"

#include <cstring>
#include <vector>

#include "AppDefinition.h"
#include "TaskAbend.h"
#include "TcpDefinition.h"
#include "TelConnection.h"
#include "TelMessages.h"
#include "TextHelpers.h"

LOOKUPROW _TelnetCommands[] = {
    {"OPEN", 1, 1, 1, 0, 0},
    {"CONNECT", 4, 1, 1, 0, 0},
    {"", 0, 0, 0, 0, 0},
};

const char TEL_INVALID_COMMAND[] = "\r\nInvalid Address or Command.\r\n";

namespace {
const unsigned char IAC = 255, WILL = 251, WONT = 252, DO = 253, DONT = 254;

void freeBuffer(IOBUFFER*& b) {
    if (b) b->freeobj();
    b = nullptr;
}

// Send queue of a connection's link and the messages still queued on the connection.
long waitingOn(DATACONNECTION* c, BBOOL requests) {
    long n = c->link ? c->link->sendQueue.count : 0;
    return n + (requests ? c->requests.count : c->results.count);
}

// Flow control: hold from while more than the limit waits on to; checked again
// once held, since to may have drained in between and would then never resume it.
void holdIfBusy(DATACONNECTION* from, DATACONNECTION* to, BBOOL requests) {
    if (!from->link || waitingOn(to, requests) <= TELREQMONITOR::FlowLimit) return;
    from->link->StopReceiving();
    if (waitingOn(to, requests) <= TELREQMONITOR::FlowLimit) from->link->StartReceiving();
}
}  // namespace

DATACONNECTION* TELREQMONITOR::CreateConnection(DATACONNECTION* listener, BBOOL recordParent, BBOOL internal) {
    TELCONNECTION* from = dynamic_cast<TELCONNECTION*>(listener);
    if (!from) return TCPREQMONITOR::CreateConnection(listener, recordParent, internal);
    TELCONNECTION* made = new TELCONNECTION(*from, recordParent, internal);
    made->prepare();
    return made;
}

REQUESTMONITOR* TELREQMONITOR::createSecondaryMonitor(IOMODE mode, DATACONNECTION*) {
    TELREQMONITOR* m = new TELREQMONITOR(*control, mode);
    m->prepare();
    m->definition = definition;
    m->notifier = notifier;
    return m;
}

int TELREQMONITOR::scanNegotiation(TELCONNECTION* c, char* text, int length) {
    int kept = 0;
    for (int i = 0; i < length; i++) {
        unsigned char byte = (unsigned char)text[i];
        switch (c->negotiationState) {
        case 0:
            if (byte == IAC)
                c->negotiationState = 1;
            else
                text[kept++] = (char)byte;
            break;
        case 1:
            if (byte == WILL || byte == WONT || byte == DO || byte == DONT) {
                c->pendingCommand = byte;
                c->negotiationState = 2;
            } else {
                if (byte == IAC) text[kept++] = (char)IAC;  // an escaped data byte 255
                c->negotiationState = 0;
            }
            break;
        default:  // the option byte
            c->pendingCommand = 0;
            c->negotiationState = 0;
            break;
        }
    }
    if (kept < length) text[kept] = 0;
    return kept;
}

void TELREQMONITOR::CarryRest(COMMLINK* link, TELCONNECTION* c, IOBUFFER* b, char* lineEnd, char* end) {
    long rest = (long)(end - lineEnd);
    if (rest > 0) {
        if (IOBUFFER* next = link->PrepareNextMessage(0, FALSE)) {
            next->CopyIn(lineEnd, rest);
            InterlockedExchangeAdd(&c->receivedBytes, -rest);
        }
        b->cursor.data = lineEnd;
        b->cursor.length += rest;
    }
}

BBOOL TELREQMONITOR::MessageMonitor(COMMLINK* link, IOBUFFER* b) {
    TELCONNECTION* c = link ? dynamic_cast<TELCONNECTION*>(link->owner) : nullptr;
    char* start = b->area.data;
    char* end = b->cursor.data;
    long fresh = (long)(end - start) - b->scanned;
    if (fresh <= 0) return 0;
    if (c) {
        InterlockedExchangeAdd(&c->receivedBytes, fresh);
        if (c->status) c->status->NotifyByteCount();
    }
    if (!c || c->relayMode || c->lineTerminator == 0) {
        b->scanned = (long)(end - start);
        return 1;
    }
    if (link->shutdownRequested) {
        b->scanned = (long)(end - start);
        return link->blocking;
    }
    char* from = start + b->scanned;
    // The second byte of a CR LF or CR NUL that came in a later read ends nothing.
    if (c->afterCR && b->scanned == 0 && (*from == '\n' || *from == '\0')) {
        std::memmove(from, from + 1, (size_t)(end - from - 1));
        end--;
        b->cursor.data--;
        b->cursor.length++;
    }
    c->afterCR = FALSE;
    char* t = from;
    while (t < end && *t != c->lineTerminator && *t != '\n') t++;
    if (t == end) {
        b->scanned = (long)(end - start);
        return 0;
    }
    char* lineEnd = t + 1;
    if (*t == '\r') {
        // CR LF and CR NUL are one line end; a CR last in the buffer may be followed later.
        if (lineEnd < end && (*lineEnd == c->secondTerminator || *lineEnd == '\0'))
            lineEnd++;
        else if (lineEnd == end)
            c->afterCR = TRUE;
    } else if (*t == c->lineTerminator && c->secondTerminator && lineEnd < end && *lineEnd == c->secondTerminator) {
        lineEnd++;
    }
    CarryRest(link, c, b, lineEnd, end);
    b->scanned = (long)(lineEnd - start);
    if (c->stripTerminator) *t = 0;
    if (!c->fixedRelay) link->StopReceiving();  // until the command has been dealt with
    return 1;
}

void TELREQMONITOR::SendQueueMonitor(COMMLINK* link) {
    TELCONNECTION* c = link ? dynamic_cast<TELCONNECTION*>(link->owner) : nullptr;
    TELCONNECTION* p = c ? c->AcquirePeer() : nullptr;
    if (!p) return;
    if (p->link && p->link->receivingStopped) p->link->StartReceiving();
    p->freeobj();
}

void TELREQMONITOR::invalidCommand(TELCONNECTION* c) {
    c->SendResponse(TEL_INVALID_COMMAND, TRUE);
    if (c->link) c->link->StartReceiving();
}

DATAREQUEST* TELREQMONITOR::readCommand(TELCONNECTION* c, IOBUFFER* b) {
    std::vector<char> text((size_t)b->cursor.length + 1, 0);
    std::memcpy(text.data(), b->cursor.data, (size_t)b->cursor.length);
    int length = (int)std::strlen(text.data());
    scanNegotiation(c, text.data(), length);

    char* cursor = text.data();
    char word[64];
    const char* blanks = " \t\r\n";
    if (_ScanWord(&cursor, word, sizeof word, FALSE, TRUE, blanks, blanks) <= 0) return nullptr;
    TELOPENREQUEST* open = nullptr;
    const char* argument = nullptr;
    if (_LookUp(_TelnetCommands, word, TRUE, FALSE)->valid) {
        argument = cursor;
    } else {
        char* rest = cursor;
        if (_ScanWord(&rest, nullptr, 0, FALSE, FALSE, blanks, blanks) < 0 && std::strchr(word, '.')) argument = word;
    }
    if (!argument) return nullptr;
    open = new TELOPENREQUEST(nullptr, c->link);
    open->prepare();
    if (!open->ParseCommand(argument)) {
        open->FreeRequest(FALSE);
        return nullptr;
    }
    return open;  // receiving stays held while the connection is attempted
}

DATAREQUEST* TELREQMONITOR::buildRequest(IOBUFFER* b, DATACONNECTION* from) {
    if (!b) return nullptr;
    TELCONNECTION* c = dynamic_cast<TELCONNECTION*>(from);
    COMMLINK* link = from ? from->link : nullptr;
    if (b->cursor.length == 0) {
        freeBuffer(b);
        TCPDISCREQUEST* marker = new TCPDISCREQUEST;
        marker->prepare();
        return marker;
    }
    if (!c || c->relayMode) {
        TELDATAREQUEST* r = new TELDATAREQUEST(b, link);
        r->prepare();
        return r;
    }
    DATAREQUEST* made = nullptr;
    if (b->incomplete) {
        // A line longer than a buffer: nothing of it runs; one reply once its end has come.
        c->discarding = TRUE;
    } else if (c->discarding) {
        c->discarding = FALSE;
        invalidCommand(c);
    } else {
        made = readCommand(c, b);
        if (!made) invalidCommand(c);
    }
    freeBuffer(b);
    return made;
}

DATARESULT* TELREQMONITOR::buildResult(IOBUFFER* b, DATACONNECTION* from) {
    if (!b) return nullptr;
    if (b->cursor.length == 0) {
        freeBuffer(b);
        TCPDISCRESPONSE* marker = new TCPDISCRESPONSE;
        marker->prepare();
        return marker;
    }
    TELDATARESPONSE* r = new TELDATARESPONSE(nullptr, b, from ? from->link : nullptr);
    r->prepare();
    return r;
}

BBOOL TELREQMONITOR::evaluateRequest(DATAREQUEST* request) {
    TELCONNECTION* client = dynamic_cast<TELCONNECTION*>(request->connection);
    const unsigned long kind = request->ItemClassID();
    const BBOOL marker = kind == TCP_DISC_REQUEST_ID;
    if (marker && client && client->markerRelayed) {
        request->FreeRequest(FALSE);  // one end of stream per side
        return TRUE;
    }
    TELCONNECTION* peer = client ? client->AcquirePeer() : nullptr;
    if (peer && peer->link && (kind == TEL_DATA_REQUEST_ID || (marker && !peer->link->closed))) {
        if (TCPREQUEST* r = dynamic_cast<TCPREQUEST*>(request)) r->link = peer->link;
        SetReleaseAfterSend(request);
        if (marker) client->markerRelayed = TRUE;
        peer->QueueRequest(request);
        holdIfBusy(client, peer, TRUE);
        peer->freeobj();
        return TRUE;
    }
    if (peer) peer->freeobj();
    if (!marker) {
        if (!definition) _Task_Abend(ABEND_PTR101, (ULONG_PTR)this);
        if (definition->QueueRequest(request)) return TRUE;
    }
    if (client) client->SetDropRequested(TRUE, TRUE);
    request->FreeRequest(FALSE);
    return FALSE;
}

BBOOL TELREQMONITOR::evaluateResult(DATARESULT* result) {
    TELCONNECTION* server = dynamic_cast<TELCONNECTION*>(result->connection);
    const BBOOL marker = result->ItemClassID() == TCP_DISC_RESPONSE_ID;
    if (marker && server && server->markerRelayed) {
        result->FreeResult(FALSE);
        return TRUE;
    }
    TCPRESPONSE* r = dynamic_cast<TCPRESPONSE*>(result);
    TELCONNECTION* peer = server ? server->AcquirePeer() : nullptr;
    if (peer && peer->link && ((r && r->buffer) || marker)) {
        if (r) r->link = peer->link;
        SetReleaseAfterSend(result);
        if (marker) server->markerRelayed = TRUE;
        peer->QueueResult(result);
        holdIfBusy(server, peer, FALSE);
        peer->freeobj();
        return TRUE;
    }
    if (peer) peer->freeobj();
    if (server && server->serviceFlag && !marker && internalResult(result)) return TRUE;
    if (server) server->SetDropRequested(TRUE, TRUE);
    result->FreeResult(FALSE);
    return FALSE;
}

BBOOL TELREQMONITOR::sendRequest(DATAREQUEST* request, DATACONNECTION* to) {
    if (!to || !to->link) return TRUE;
    if (request->ItemClassID() == TCP_DISC_REQUEST_ID) return TCPREQMONITOR::sendRequest(request, to);
    TCPREQUEST* r = dynamic_cast<TCPREQUEST*>(request);
    if (r && request->sendable) {
        if (r->buffer) {
            if (!to->link->PutMessage(r->buffer, FALSE)) r->buffer->freeobj();
            r->buffer = nullptr;
        } else if (commandBuffer.data) {
            TELREQUEST* command = dynamic_cast<TELREQUEST*>(request);
            BUFFER out(commandBuffer.data, commandBuffer.length);
            if (command && command->BuildCommand(out, FALSE) > 0) to->link->SendMessage(out, FALSE);
        }
    }
    if (r) r->ClearMessage();
    if (request->queuedCount <= request->dequeuedCount) request->FreeRequest(TRUE);
    return TRUE;
}

BBOOL TELREQMONITOR::sendResult(DATARESULT* result, DATACONNECTION* to) {
    if (!to || !to->link) return TRUE;
    if (result->ItemClassID() == TCP_DISC_RESPONSE_ID) return TCPREQMONITOR::sendResult(result, to);
    TCPRESPONSE* r = dynamic_cast<TCPRESPONSE*>(result);
    if (r && r->buffer) {
        if (!to->link->PutMessage(r->buffer, FALSE)) r->buffer->freeobj();
        r->buffer = nullptr;
    }
    if (r) r->ClearMessage();
    if (result->freePending) result->FreeResult(TRUE);
    return TRUE;
}
