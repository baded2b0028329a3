// The permitted-user checks of every TCP service: which user record a client's
// connection gets, and the chain kept in step with the authorized users.
#include "TcpDefinition.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "SvrSystem.h"
#include "TcpInterface.h"
#include "TcpSockLink.h"
#include "TextHelpers.h"
#include "WinSockControl.h"

namespace {

template <class F>
TCPUSER* firstWhere(CHAIN<TCPUSER>& chain, F test) {
    for (bSPOINTER* c = chain.first; c && c->target; c = c->next)
        if (TCPUSER* u = CHAIN<TCPUSER>::Cast(c->target); u && test(u)) return u;
    return nullptr;
}

// Takes u off the chain; TRUE when it was there.
BBOOL unlink(CHAIN<TCPUSER>& chain, TCPUSER* u) {
    bSPOINTER& cell = chain.bFindCell(u);
    u->chainNode = nullptr;
    if (!cell.target) return FALSE;
    chain.bRemove(cell, TRUE);
    return TRUE;
}

// An entry leaves the chain; released now, or by the last logout while in use.
void dropEntry(CHAIN<TCPUSER>& chain, TCPUSER* u) {
    if (!unlink(chain, u)) return;
    if (u->inUse == 0)
        u->freeobj();
    else
        u->removeWhenFree = TRUE;
}

unsigned long now() { return GetTickCount(); }
}  // namespace

void TCPDEFINITION::addLocalUser(TCPSOCKLINK* link) {
    char userName[256] = "";
    if (_pSvr && _pSvr->options.users.ownerName[0])
        _strzcpy(userName, _pSvr->options.users.ownerName, sizeof userName);
    else
        link->GetLocalName(BUFFER(userName, sizeof userName), FALSE, FALSE);
    char address[64] = "";
    link->TCPGetLocalAddress(BUFFER(address, sizeof address));
    if (!address[0]) return;
    if (firstWhere(*ppermittedUsers, [&](TCPUSER* u) {
            return std::strcmp(u->resolvedAddress, address) == 0 && std::strncmp(u->name, userName, 63) == 0;
        }))
        return;
    TCPUSER* local = new TCPUSER(address, userName, FALSE);
    local->prepare();
    _strzcpy(local->resolvedAddress, address, sizeof local->resolvedAddress);
    ppermittedUsers->Add(*local);
    localUser = 1;
}

// Host names are looked up without the chain's lock, so one slow or failing
// name holds up no other login; a failure is remembered for a while.
void TCPDEFINITION::resolveEntries(const RESOLVER& resolve) {
    std::vector<TCPUSER*> pending;
    std::vector<std::string> hosts;
    {
        MSEMHOLD hold(ppermittedUsers->lock);
        for (bSPOINTER* c = ppermittedUsers->first; c && c->target; c = c->next) {
            TCPUSER* u = CHAIN<TCPUSER>::Cast(c->target);
            if (!u || u->IsTemplate() || u->resolvedAddress[0]) continue;
            if (u->failedAt && now() - u->failedAt < LookupRetryMs) continue;
            u->prepare();
            pending.push_back(u);
            hosts.push_back(u->address);
        }
    }
    std::vector<std::string> found(pending.size());
    for (size_t i = 0; i < pending.size(); i++) found[i] = resolve(hosts[i].c_str());
    MSEMHOLD hold(ppermittedUsers->lock);
    for (size_t i = 0; i < pending.size(); i++) {
        TCPUSER* u = pending[i];
        // An entry changed meanwhile (its address edited) is resolved at the next login.
        if (std::strcmp(u->address, hosts[i].c_str()) == 0 && !u->resolvedAddress[0]) {
            if (found[i].empty())
                u->failedAt = now() ? now() : 1;
            else
                _strzcpy(u->resolvedAddress, found[i].c_str(), sizeof u->resolvedAddress);
        }
        u->freeobj();
    }
}

TCPUSER* TCPDEFINITION::matchUser(const char* client) {
    TCPUSER* exact = firstWhere(*ppermittedUsers, [&](TCPUSER* u) {
        return !u->IsTemplate() && u->resolvedAddress[0] && std::strcmp(u->resolvedAddress, client) == 0;
    });
    if (exact) return exact;
    TCPUSER* pattern = firstWhere(*ppermittedUsers, [&](TCPUSER* u) { return u->MatchesTemplate(client); });
    if (!pattern) return nullptr;
    char userName[64];
    std::string made = pattern->name;
    made += client + std::min(std::strlen(client), (size_t)pattern->templateLength);
    _strzcpy(userName, made.c_str(), sizeof userName);
    TCPUSER* user = new TCPUSER(client, userName, TRUE);
    user->prepare();  // the chain's hold
    _strzcpy(user->resolvedAddress, client, sizeof user->resolvedAddress);
    user->definition = this;
    user->chainNode = &ppermittedUsers->Add(*user);
    return user;
}

TCPUSER* TCPDEFINITION::FindPermittedUser(const char* client, const RESOLVER& resolve, TCPSOCKLINK* localLink) {
    if (!ppermittedUsers) return nullptr;
    resolveEntries(resolve);
    MSEMHOLD hold(ppermittedUsers->lock);
    if (localLink) addLocalUser(localLink);
    return matchUser(client);
}

int TCPDEFINITION::UserLogin(APPCONNECTION* connection, BBOOL login) {
    if (!login) {
        if (!ppermittedUsers) return APPDEFINITION::UserLogin(connection, FALSE);
        // Under the chain's lock, so that no login finds a record its last user lets go of.
        MSEMHOLD hold(ppermittedUsers->lock);
        int result = APPDEFINITION::UserLogin(connection, FALSE);
        TCPUSER* user = connection ? dynamic_cast<TCPUSER*>(connection->user) : nullptr;
        if (user && user->removeWhenFree) {
            // Only the last user's connection goes on to release a record that goes
            // when free; the others let go of it here, under the lock, since a look
            // at the count after it would see the last logout of another thread.
            if (user->inUse == 0)
                unlink(*ppermittedUsers, user);
            else
                connection->user = nullptr;
        }
        return result;
    }
    TCPSOCKLINK* link = connection ? dynamic_cast<TCPSOCKLINK*>(connection->link) : nullptr;
    if (!link || !ppermittedUsers) return LOGIN_NO_USER;

    char client[64];
    _strzcpy(client, connection->name, sizeof client);
    if (!client[0]) {
        link->TCPGetRemoteAddress(BUFFER(client, sizeof client));
        _strzcpy(connection->name, client, sizeof connection->name);
    }
    TCPINTERFACE* arrived = TCPINTERFACE::FindUserInterface(socketControl, link);
    if (arrived && arrived->dialUp) connection->dialUp = TRUE;

    resolveEntries([link](const char* host) {
        std::string dotted;
        unsigned long a = link->TCPGetAddress(host, FALSE);
        if (a == link->k.noAddress || a == 0) return dotted;
        char text[16] = "";
        link->TCPCvtAddress(a, BUFFER(text, sizeof text));
        return dotted = text;
    });
    // Matched and counted under one hold of the chain's lock, so that the
    // record cannot go before its login is counted.
    MSEMHOLD hold(ppermittedUsers->lock);
    if (_pSvr && !_pSvr->corvath) addLocalUser(link);
    TCPUSER* match = matchUser(client);
    connection->user = match;
    if (userSecurity && !match) return LOGIN_NOT_PERMITTED;
    return APPDEFINITION::UserLogin(connection, TRUE);
}

void TCPDEFINITION::UpdateAppUser(APPUSER* user, BBOOL remove) {
    if (!ppermittedUsers || !user) return;
    MSEMHOLD hold(ppermittedUsers->lock);
    TCPUSER* entry = firstWhere(*ppermittedUsers, [&](TCPUSER* u) { return std::strcmp(u->name, user->name) == 0; });
    if (!remove) {
        if (!entry) {
            TCPUSER* copy = new TCPUSER(*user);
            copy->prepare();
            ppermittedUsers->Add(*copy);
            return;
        }
        _strzcpy(entry->name, user->name, sizeof entry->name);
        _strzcpy(entry->address, user->address, sizeof entry->address);
        entry->checkTemplateAddress();
        entry->resolvedAddress[0] = 0;
        entry->failedAt = 0;
        return;
    }
    if (!entry) return;
    if (entry->inUse == 0)
        dropEntry(*ppermittedUsers, entry);
    else
        entry->removeWhenFree = TRUE;  // goes with its last logout
}

void TCPDEFINITION::RenameAppUser(const char* oldName, const char* newName) {
    if (!ppermittedUsers || !oldName) return;
    MSEMHOLD hold(ppermittedUsers->lock);
    std::vector<TCPUSER*> named;
    for (bSPOINTER* c = ppermittedUsers->first; c && c->target; c = c->next)
        if (TCPUSER* u = CHAIN<TCPUSER>::Cast(c->target); u && std::strcmp(u->name, oldName) == 0) named.push_back(u);
    for (TCPUSER* u : named) {
        if (!newName || !*newName)
            dropEntry(*ppermittedUsers, u);
        else
            _strzcpy(u->name, newName, sizeof u->name);
    }
}

void TCPDEFINITION::RemoveAppUser(TCPUSER* user) {
    if (!user || !user->chainNode) return;
    if (ppermittedUsers && !ppermittedUsers->removingAll) {
        MSEMHOLD hold(ppermittedUsers->lock);
        unlink(*ppermittedUsers, user);
    }
    user->chainNode = nullptr;
}
