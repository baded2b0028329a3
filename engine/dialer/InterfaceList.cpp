// The chain of lines kept in step with the configured phonebook entries, the
// running connections attached to them, and the phonebook offered to the console.
#include "WinSockInterface.h"
#include "WinSockControl.h"
#include "WinSockDll.h"
#include "SpControl.h"
#include "TextHelpers.h"
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

// The names of a comma-separated list: quotes stripped, blanks trimmed, case kept.
std::vector<std::string> SplitNames(const char* names) {
    std::vector<std::string> out;
    if (!names) return out;
    std::string copy(names);
    char* cursor = &copy[0];
    char word[64];
    while (_ScanWord(&cursor, word, sizeof word, 1, 0, ",") >= 0) {
        if (*cursor == ',') cursor++;
        _TrimStr(word);
        if (word[0]) out.push_back(word);
        if (!*cursor) break;
    }
    return out;
}

WINSOCKINTERFACE* AsLine(TCPINTERFACE* i) { return dynamic_cast<WINSOCKINTERFACE*>(i); }

// The line of that name (exact), or null.
TCPINTERFACE* FindNamed(const char* name) {
    for (bSPOINTER* c = _pTCPIPInterfaces->first; c->target; c = c->next) {
        TCPINTERFACE* i = CHAIN<TCPINTERFACE>::Cast(c->target);
        if (i && strcmp(i->name, name) == 0) return i;
    }
    return nullptr;
}

bSPOINTER* CellAt(int position) {
    for (bSPOINTER* c = _pTCPIPInterfaces->first; c->target; c = c->next)
        if (--position == 0) return c;
    return nullptr;
}

// Out of the chain, keeping the chain's reference for the caller.
void TakeOut(TCPINTERFACE* i) {
    bSPOINTER& cell = _pTCPIPInterfaces->bFindCell(i);
    if (cell.target) _pTCPIPInterfaces->bRemove(cell, 1);
}

// The host's IPv4 addresses as network interfaces named by their dotted address.
void AddHostInterfaces() {
    WINSOCKDLL* d = _pWinSockDlls ? _pWinSockDlls->First() : nullptr;
    if (!d || !d->fn.gethostname || !d->fn.gethostbyname || !d->fn.inet_ntoa) return;
    char host[256];
    if (d->fn.gethostname(host, sizeof host) != 0) return;
    hostent* h = d->fn.gethostbyname(host);
    if (!h || h->h_addrtype != AF_INET || h->h_length != 4) return;
    std::vector<std::string> addresses;
    for (char** a = h->h_addr_list; a && *a; ++a) {
        in_addr in;
        memcpy(&in, *a, 4);
        addresses.push_back(d->fn.inet_ntoa(in));
    }
    for (const std::string& text : addresses) {
        TCPINTERFACE* i = FindNamed(text.c_str());
        if (i) {
            i->stale = 0;
            continue;
        }
        i = new TCPINTERFACE(text.c_str());
        if (!i) return;
        i->prepare();
        _strzcpy(i->addressText, text.c_str(), sizeof i->addressText);
        i->connected = 1;
        i->down = 0;
        _pTCPIPInterfaces->Add(*i);
    }
}

}  // namespace

int WINSOCKCONTROL::GetLocalInterfaces(USETCPINTERFACES use, const char* names) {
    if (!_pTCPIPInterfaces || (use != UseAll && use != UseDialUp)) return 0;
    MSEMHOLD hold(_pTCPIPInterfaces->lock);
    WINSOCKINTERFACE::ExpireSilentDials();
    if (WINSOCKINTERFACE::RasDialCount) return -1;
    if (use == UseAll) {
        // Adds only: the lines stay as the last dial-up rebuild left them.
        AddHostInterfaces();
        return 0;
    }
    WINSOCKINTERFACE* moved = nullptr;  // the secondary line, out of the chain meanwhile
    int movedAt = 0;
    if (names) {
        int position = 0;
        for (bSPOINTER* c = _pTCPIPInterfaces->first; c->target; c = c->next) {
            TCPINTERFACE* i = CHAIN<TCPINTERFACE>::Cast(c->target);
            position++;
            i->stale = 1;
            if (i->secondary && AsLine(i)) {
                moved = AsLine(i);
                movedAt = position;
            }
        }
        if (moved) TakeOut(moved);
    }
    int result = WINSOCKINTERFACE::getRASInterfaces(names);
    if (names) {
        bSPOINTER* c = _pTCPIPInterfaces->first;
        while (c->target) {
            bSPOINTER* next = c->next;
            TCPINTERFACE* i = CHAIN<TCPINTERFACE>::Cast(c->target);
            if (i->stale) {
                _pTCPIPInterfaces->bRemove(*c, 1);
                i->freeobj();
            }
            c = next;
        }
    }
    if (moved) {
        bSPOINTER* cell = CellAt(movedAt);
        if (cell) {
            TCPINTERFACE* replaced = CHAIN<TCPINTERFACE>::Cast(cell->target);
            _strzcpy(moved->name, replaced->name, sizeof moved->name);
            moved->lineNumber = replaced->lineNumber;
            moved->dialUp = replaced->dialUp;
            moved->stale = 0;
            _pTCPIPInterfaces->Add(*moved, *cell);
            _pTCPIPInterfaces->bRemove(*cell, 1);
            replaced->freeobj();
        } else {
            if (moved->connected || moved->connecting) moved->Disconnect(1, 1);
            if (WINSOCKCONTROL* control = moved->Control()) control->dialInterface = nullptr;
            moved->SetControl(nullptr, 0);
            moved->freeobj();
        }
    }
    return result;
}

int WINSOCKINTERFACE::getRASInterfaces(const char* names) {
    if (!_RasLoaded || !_pTCPIPInterfaces) return 0;
    MSEMHOLD hold(_pTCPIPInterfaces->lock);
    int next = 1;
    for (const std::string& n : SplitNames(names)) {
        TCPINTERFACE* found = FindNamed(n.c_str());
        if (found && !found->stale) {
            QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, "cs", "Interface Listed Twice", n.c_str());
            continue;
        }
        if (found) {
            TakeOut(found);
        } else {
            found = new WINSOCKINTERFACE(n.c_str());
            if (!found) break;
            found->prepare();
        }
        found->dialUp = 1;
        found->stale = 0;
        found->lineNumber = next++;
        _pTCPIPInterfaces->Add(*found);
    }
    if (!_SystemIsWindows95 && _RasExtLoaded && TCPCONTROL::PhonebookRouting && names) adjustEntryOptions();
    return attachConnections();
}

// Each listed entry routes the default traffic itself, only the first one
// unless several may; single-line entries also lose the LCP extensions.
void WINSOCKINTERFACE::adjustEntryOptions() {
    BBOOL rewritten = 0;
    for (bSPOINTER* c = _pTCPIPInterfaces->first; c->target; c = c->next) {
        WINSOCKINTERFACE* line = AsLine(CHAIN<TCPINTERFACE>::Cast(c->target));
        if (!line || line->stale) continue;
        ras::Entry* e = RasGetPhoneBookEntry(line->name);
        if (!e) continue;
        BBOOL gateway = !(rewritten && !TCPCONTROL::MultipleRouting);
        uint32_t was = e->options;
        uint32_t want = gateway ? was | ras::kOptionRemoteDefaultGateway : was & ~ras::kOptionRemoteDefaultGateway;
        if (e->size >= ras::kEntrySize && e->subEntries < 2) want |= ras::kOptionDisableLcpExtensions;
        line->remoteDefaultGateway = gateway;
        if (want != was) {
            e->options = want;
            if (_Ras.RasSetEntryPropertiesA(nullptr, line->name, e, e->size, nullptr, 0) == 0) {
                if ((want ^ was) & ras::kOptionRemoteDefaultGateway) line->optionsRestored = 1;
                rewritten = 1;
            } else {
                line->remoteDefaultGateway = 0;
            }
        }
        RasFreePhoneBookEntry(e);
    }
}

// Gives each running connection to the line of its entry; counts the connected ones.
int WINSOCKINTERFACE::attachConnections() {
    ras::Connection one = {};
    one.size = ras::kConnectionSize;
    DWORD bytes = sizeof one, count = 0;
    std::vector<ras::Connection> list(1, one);
    DWORD rc = _Ras.RasEnumConnectionsA(list.data(), &bytes, &count);
    if (rc == ras::kErrorBufferTooSmall) {
        list.assign(bytes / ras::kConnectionSize + 1, one);
        bytes = DWORD(list.size() * ras::kConnectionSize);
        rc = _Ras.RasEnumConnectionsA(list.data(), &bytes, &count);
    }
    if (rc != 0) return 0;
    if (count > list.size()) count = DWORD(list.size());
    int connectedLines = 0;
    for (DWORD k = 0; k < count; ++k) {
        list[k].entryName[sizeof list[k].entryName - 1] = 0;
        for (bSPOINTER* c = _pTCPIPInterfaces->first; c->target; c = c->next) {
            WINSOCKINTERFACE* line = AsLine(CHAIN<TCPINTERFACE>::Cast(c->target));
            if (!line || line->stale || strcmp(line->name, list[k].entryName) != 0) continue;
            line->rasHandle = ras::HandleFromField(list[k].handle);
            // A line that was up and is found dropped is reported like a poll
            // would: else the refresh hangs it up unseen and the line policy,
            // never told, goes on taking it for connected.
            line->getInterfaceStatus(0, 0, line->connected);
            if (line->connected) {
                line->down = 0;
                connectedLines++;
            }
            break;
        }
    }
    return connectedLines;
}

char* WINSOCKINTERFACE::GetConnectionList() {
    if (!_RasLoaded) return nullptr;
    ras::EntryName one = {};
    one.size = ras::kEntryNameRecordSize;
    std::vector<ras::EntryName> list(1, one);
    DWORD bytes = sizeof one, count = 0;
    DWORD rc = _Ras.RasEnumEntriesA(nullptr, nullptr, list.data(), &bytes, &count);
    if (rc == ras::kErrorBufferTooSmall) {
        list.assign(bytes / ras::kEntryNameRecordSize + 1, one);
        bytes = DWORD(list.size() * ras::kEntryNameRecordSize);
        rc = _Ras.RasEnumEntriesA(nullptr, nullptr, list.data(), &bytes, &count);
    }
    if (rc != 0 || count == 0) return nullptr;
    if (count > list.size()) count = DWORD(list.size());
    size_t total = 1;
    for (DWORD k = 0; k < count; ++k) total += strnlen(list[k].entryName, sizeof list[k].entryName - 1) + 1;
    char* block = new (std::nothrow) char[total];
    if (!block) return nullptr;
    char* at = block;
    for (DWORD k = 0; k < count; ++k) {
        size_t n = strnlen(list[k].entryName, sizeof list[k].entryName - 1);
        memcpy(at, list[k].entryName, n);
        at[n] = 0;
        at += n + 1;
    }
    *at = 0;
    return block;
}

BBOOL WINSOCKINTERFACE::AddConnectionEntry(HWND parent) {
    return _RasLoaded && _Ras.RasCreatePhonebookEntryA(parent, nullptr) == 0;
}

BBOOL WINSOCKINTERFACE::EditConnectionEntry(HWND parent, const char* name) {
    return _RasLoaded && name && _Ras.RasEditPhonebookEntryA(parent, nullptr, name) == 0;
}

WINSOCKINTERFACE* WINSOCKINTERFACE::findDefaultInterface() {
    if (!_pTCPIPInterfaces) return nullptr;
    WINSOCKINTERFACE* found = nullptr;
    CITERATOR<TCPINTERFACE> it;
    for (TCPINTERFACE* i = it.Begin(*_pTCPIPInterfaces); i; i = it.Next()) {
        WINSOCKINTERFACE* line = AsLine(i);
        if (line && line->connected && (line->remoteDefaultGateway || line->routeAdded)) {
            found = line;
            break;
        }
    }
    it.End();
    return found;
}
