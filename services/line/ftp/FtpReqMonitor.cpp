#include "FtpReqMonitor.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "FtpConnection.h"
#include "FtpMessages.h"
#include "FtpRetrieve.h"
#include "FtpService.h"
#include "TextHelpers.h"

namespace {
void freeBuffer(IOBUFFER*& b) {
    if (b) b->freeobj();
    b = nullptr;
}

// A line that ends with the zero byte the framing put for its LF gets the LF back.
void restoreTerminator(IOBUFFER* b) {
    if (!b->incomplete && b->cursor.length > 0 && b->cursor.data[b->cursor.length - 1] == 0)
        b->cursor.data[b->cursor.length - 1] = '\n';
}

BBOOL startsWith(IOBUFFER* b, const char* text) {
    const long n = (long)std::strlen(text);
    return b->cursor.length >= n && std::memcmp(b->cursor.data, text, (size_t)n) == 0;
}
}  // namespace

DATACONNECTION* FTPREQMONITOR::CreateConnection(DATACONNECTION* listener, BBOOL recordParent, BBOOL internal) {
    FTPCONNECTION* from = dynamic_cast<FTPCONNECTION*>(listener);
    if (!from) return TELREQMONITOR::CreateConnection(listener, recordParent, internal);
    FTPCONNECTION* made = new FTPCONNECTION(*from, recordParent, internal, FALSE);
    made->prepare();
    return made;
}

REQUESTMONITOR* FTPREQMONITOR::createSecondaryMonitor(IOMODE mode, DATACONNECTION*) {
    FTPREQMONITOR* m = new FTPREQMONITOR(*control, mode);
    m->prepare();
    m->definition = definition;
    m->notifier = notifier;
    return m;
}

long FTPREQMONITOR::FrameLine(FTPCONNECTION* c, const char* from, const char* end, long offset) {
    const BBOOL gather = !c->inbound;  // only a server's replies run over several lines
    for (const char* p = from; p < end; p++) {
        if (c->lineStartCount < 4) c->lineStart[c->lineStartCount++] = *p;
        if (*p != c->lineTerminator) continue;
        const long seen = c->lineStartCount;
        c->lineStartCount = 0;
        BBOOL complete;
        if (c->inMultiLine) {
            complete = seen >= 4 && std::memcmp(c->lineStart, c->multiLineEnd, 4) == 0;
            if (complete) c->inMultiLine = FALSE;
        } else if (gather && seen >= 4 && std::isdigit((unsigned char)c->lineStart[0]) && c->lineStart[3] == '-') {
            std::memcpy(c->multiLineEnd, c->lineStart, 3);
            c->multiLineEnd[3] = ' ';
            c->inMultiLine = TRUE;
            complete = FALSE;
        } else {
            complete = TRUE;
        }
        if (complete) return offset + (long)(p + 1 - from);
    }
    return 0;
}

BBOOL FTPREQMONITOR::MessageMonitor(COMMLINK* link, IOBUFFER* b) {
    FTPCONNECTION* c = link ? dynamic_cast<FTPCONNECTION*>(link->owner) : nullptr;
    char* start = b->area.data;
    char* end = b->cursor.data;
    long fresh = (long)(end - start) - b->scanned;
    if (fresh <= 0) return 0;
    if (c) {
        InterlockedExchangeAdd(&c->receivedBytes, fresh);
        if (c->status) c->status->NotifyByteCount();
        if (c->isData)
            if (FTPCONNECTION* control = c->AcquireControl()) {
                if (control->status) control->status->NotifyByteCount();
                control->freeobj();
            }
    }
    if (!c || c->relayMode || c->lineTerminator == 0 || link->shutdownRequested) {
        b->scanned = (long)(end - start);
        return link->shutdownRequested ? link->blocking : 1;
    }
    char* from = start + b->scanned;
    long length = FrameLine(c, from, end, 0);
    if (length == 0) {
        b->scanned = (long)(end - start);
        return 0;
    }
    char* lineEnd = from + length;
    CarryRest(link, c, b, lineEnd, end);
    b->scanned = (long)(lineEnd - start);
    if (c->stripTerminator) lineEnd[-1] = 0;
    return 1;
}

DATAREQUEST* FTPREQMONITOR::readCommand(FTPCONNECTION* c, IOBUFFER* b) {
    std::vector<char> text((size_t)b->cursor.length + 1, 0);
    std::memcpy(text.data(), b->cursor.data, (size_t)b->cursor.length);
    char* cursor = text.data();
    char word[64];
    const char* blanks = " \t\r\n";
    if (_ScanWord(&cursor, word, sizeof word, FALSE, TRUE, blanks, blanks) <= 0) {
        freeBuffer(b);
        return nullptr;
    }
    LOOKUPROW* row = _LookUp(_FTPCommands, word, TRUE, FALSE);
    const BBOOL hasServer = c->IsPaired();
    TELREQUEST* made = nullptr;
    BBOOL parsed = TRUE;
    if (row->valid && row->value == 1 && !hasServer) {
        FTPUSERREQUEST* open = new FTPUSERREQUEST(nullptr, c->link);
        open->prepare();
        char* rest = cursor;
        parsed = _ScanWord(&rest, open->host, sizeof open->host, TRUE, FALSE, blanks, blanks) > 0;
        made = open;
    } else if (row->valid && row->value == 3 && !hasServer) {
        made = new FTPUSERREQUEST(nullptr, c->link);
        made->prepare();
        parsed = made->ParseCommand(cursor);
    } else if (row->valid && row->value == 2 && hasServer) {
        made = new FTPPORTREQUEST(nullptr, c->link);
        made->prepare();
        parsed = made->ParseCommand(cursor);
    } else if (row->valid && row->value == 99 && hasServer) {
        restoreTerminator(b);
        FTPCMDREQUEST* command = new FTPCMDREQUEST(b, c->link, (long)row->value2, row->name);
        command->prepare();
        return command;  // the buffer goes with it
    } else if (hasServer && !(row->valid && row->value == 2)) {
        restoreTerminator(b);
        TELDATAREQUEST* forward = new TELDATAREQUEST(b, c->link);
        forward->prepare();
        return forward;
    }
    freeBuffer(b);
    if (made && !parsed) {
        made->FreeRequest(FALSE);
        made = nullptr;
    }
    return made;
}

DATAREQUEST* FTPREQMONITOR::buildRequest(IOBUFFER* b, DATACONNECTION* from) {
    if (!b) return nullptr;
    FTPCONNECTION* c = dynamic_cast<FTPCONNECTION*>(from);
    if (b->cursor.length == 0) {
        freeBuffer(b);
        TCPDISCREQUEST* marker = new TCPDISCREQUEST;
        marker->prepare();
        return marker;
    }
    if (!c || c->relayMode) {
        TELDATAREQUEST* r = new TELDATAREQUEST(b, from ? from->link : nullptr);
        r->prepare();
        return r;
    }
    DATAREQUEST* made = nullptr;
    if (b->incomplete) {
        // A line longer than a buffer: nothing of it goes on; one reply once its end has come.
        c->discarding = TRUE;
        freeBuffer(b);
        return nullptr;
    }
    if (c->discarding) {
        c->discarding = FALSE;
        freeBuffer(b);
    } else {
        made = readCommand(c, b);
    }
    if (!made) FTPDEFINITION::Reply(c, FTP_INVALID_COMMAND);
    return made;
}

DATARESULT* FTPREQMONITOR::buildResult(IOBUFFER* b, DATACONNECTION* from) {
    if (!b) return nullptr;
    if (b->cursor.length == 0) {
        freeBuffer(b);
        TCPDISCRESPONSE* marker = new TCPDISCRESPONSE;
        marker->prepare();
        return marker;
    }
    FTPCONNECTION* c = dynamic_cast<FTPCONNECTION*>(from);
    const BBOOL isData = !c || c->isData;
    if (!isData) {
        if (c->discardingReply) {
            c->discardingReply = b->incomplete;
            freeBuffer(b);
            return nullptr;
        }
        if (c->loginPending) {
            c->loginPending = FALSE;
            if (startsWith(b, "220")) {
                // The greeting is the gateway's: the client sees the answer to its USER instead.
                c->discardingReply = b->incomplete;
                freeBuffer(b);
                FTPCMDREQUEST* login = new FTPCMDREQUEST(c->loginLine, c);
                login->prepare();
                SetReleaseAfterSend(login);
                if (!login->buffer || !c->QueueRequest(login).target) {
                    login->FreeRequest(FALSE);
                    c->SetDropRequested(TRUE, TRUE);
                }
                return nullptr;
            }
        }
        restoreTerminator(b);
    }
    FTPRESPONSE* r = new FTPRESPONSE(nullptr, b, from ? from->link : nullptr, isData);
    r->prepare();
    return r;
}

BBOOL FTPREQMONITOR::internalResult(DATARESULT* result) {
    FTPCONNECTION* c = dynamic_cast<FTPCONNECTION*>(result->connection);
    if (!c || !c->retrieval) return FALSE;
    return FTPGETREQUEST::TakeResult(c, result);
}

BBOOL FTPREQMONITOR::evaluateResult(DATARESULT* result) {
    FTPCONNECTION* c = dynamic_cast<FTPCONNECTION*>(result->connection);
    if (c && c->retrieval && result->ItemClassID() == TCP_DISC_RESPONSE_ID) {
        result->FreeResult(FALSE);
        return TRUE;
    }
    return TELREQMONITOR::evaluateResult(result);
}
