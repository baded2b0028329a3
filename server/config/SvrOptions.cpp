#include "SvrOptions.h"

#include <cstring>

#include "AppDefinition.h"
#include "SvrSystem.h"
#include "TaskAbend.h"
#include "TextHelpers.h"

namespace {

// Calls f on every running definition; the walk holds the chain's lock.
template <class F>
void ForEachDefinition(F f) {
    if (!_pSvr) return;
    CITERATOR<APPDEFINITION> it;
    for (APPDEFINITION* d = it.Begin(_pSvr->manager.definitions); d; d = it.Next()) f(d);
}

}  // namespace

ADMINOPTIONS::ADMINOPTIONS() : password{} {}

// The stored form is quoted: profile values lose blanks at their ends, and a
// scrambled byte may well be a blank.
int ADMINOPTIONS::EncodePassword(BUFFER& out) {
    if (out.data && out.length > 0) out.data[0] = 0;
    char work[64] = {};
    _strzcpy(work, password, sizeof work);
    int length = (int)std::strlen(work);
    _EncryptString(BUFFER(work, sizeof work));
    if (length == 0 || !_CtlCharsToAscii(BUFFER(work, length), out, TRUE)) {
        std::memset(password, 0, sizeof password);
        if (out.data && out.length > 0) out.data[0] = 0;
        return 0;
    }
    return (int)std::strlen(out.data);
}

// Reads the quoted form and the older unquoted one.
BBOOL ADMINOPTIONS::DecodePassword(const char* text) {
    char work[64] = {};
    int length = _AsciiToCtlChars(text ? text : "", BUFFER(work, sizeof work), TRUE);
    if (length < 0) return FALSE;
    std::memset(password, 0, sizeof password);
    if (length == 0) return TRUE;
    _EncryptString(BUFFER(work, sizeof work));
    _strzcpy(password, work, sizeof password);
    return TRUE;
}

USEROPTIONS::USEROPTIONS() : ownerName{}, users(TRUE) { users.freeOnDestroy = TRUE; }
USEROPTIONS::~USEROPTIONS() {}

void USEROPTIONS::UpdateOwnerName(const char* name) {
    char old[256];
    _strzcpy(old, ownerName, sizeof old);
    const char* fresh = name ? name : "";
    ForEachDefinition([&](APPDEFINITION* d) { d->RenameAppUser(old, fresh); });
    _strzcpy(ownerName, fresh, sizeof ownerName);
    if (_pSvr) _pSvr->config.WriteLocalUserName(ownerName);
}

void USEROPTIONS::UpdatePermittedUserList(APPUSER* user, BBOOL remove) {
    if (!user) return;
    if (!user->address[0]) _strzcpy(user->address, user->name, 64);
    SVRCFG* config = _pSvr ? &_pSvr->config : nullptr;
    // The entry of the same address goes; the object being added or removed is
    // never freed here, even when it is that entry.
    APPUSER* listed = nullptr;
    {
        CITERATOR<APPUSER> it;
        for (APPUSER* u = it.Begin(users); u; u = it.Next())
            if (!std::strcmp(u->address, user->address)) {
                listed = it.Remove();
                break;
            }
        it.End();
    }
    if (listed && listed != user) listed->freeobj();
    if (remove) {
        if (config) config->RemoveUser(*user);
        ForEachDefinition([&](APPDEFINITION* d) { d->UpdateAppUser(user, TRUE); });
        if (listed == user) user->freeobj();  // the chain's reference, given up last
        return;
    }
    long limit = _pSvr ? _pSvr->userCeiling : SVR_USER_CEILING;
    while (users.Count() >= limit && users.Count() > 0) {
        APPUSER* oldest = users.RemoveFirst();
        if (config) config->RemoveUser(*oldest);
        oldest->freeobj();
    }
    if (listed != user) user->prepare();  // the chain's reference
    users.Add(*user);
    if (config) config->WriteUser(*user);
    ForEachDefinition([&](APPDEFINITION* d) { d->UpdateAppUser(user, FALSE); });
}

BBOOL USEROPTIONS::FindAppUser(APPUSER* user) {
    if (!user) return FALSE;
    CITERATOR<APPUSER> it;
    for (APPUSER* u = it.Begin(users); u; u = it.Next())
        if (!std::strcmp(u->address, user->address) && !std::strcmp(u->name, user->name)) {
            it.End();
            return TRUE;
        }
    return FALSE;
}

APPUSER* USEROPTIONS::GetAppUser() {
    APPUSER* user = nullptr;
    BBOOL single = _pSvr && !_pSvr->corvath && !_pSvr->tessimara;
    {
        CITERATOR<APPUSER> it;
        APPUSER* first = it.Begin(users);
        if (single && first) user = new APPUSER(*first);
        it.End();
    }
    if (!user) user = new APPUSER();
    if (!user) _Task_Abend(ABEND_STG101, 0);
    user->prepare();
    return user;
}

SVROPTIONS::SVROPTIONS() {}
SVROPTIONS::~SVROPTIONS() {}

// The caller holds the definition lock; each update runs without it, as a
// cache import can take long.
void SVROPTIONS::UpdateAppCacheOptions(void* cache) {
    if (!_pSvr) return;
    CHAIN<APPDEFINITION>& chain = _pSvr->manager.definitions;
    for (bSPOINTER* cell = chain.first; cell && cell->target; cell = cell->next) {
        APPDEFINITION* d = CHAIN<APPDEFINITION>::Cast(cell->target);
        chain.lock.Release();
        d->UpdateAppCache(static_cast<APPCACHE*>(cache), TRUE);
        chain.lock.Reserve();
    }
}

void SVROPTIONS::UpdateAppProxiesOptions(void* proxies) {
    ForEachDefinition([&](APPDEFINITION* d) { d->UpdateAppProxies(static_cast<APPPROXIES*>(proxies), TRUE); });
}

void SVROPTIONS::UpdateAppServerOptions(void* servers) {
    if (_pSvr) _pSvr->config.WriteAppServers(static_cast<APPSERVERS*>(servers));
}
