#include "LineRelays.h"

#include <cstring>

#include "SpControl.h"
#include "LinkControl.h"
#include "TcpControl.h"
#include "WinSockControl.h"
#include "AppStatus.h"
#include "SvrSystem.h"
#include "TaskAbend.h"
#include "TelConnection.h"
#include "TelMessages.h"
#include "TelReqMonitor.h"
#include "TextHelpers.h"

namespace {
const char MAIL_NOT_READY[] = "The Quorvane Corvath is temporarily unavailable! Try again later!\r\n";
const char MAIL_TOO_MANY[] = "There are currently too many active users! Try again later!\r\n";
const char MAIL_REFUSED[] = "You are not authorized to access the Quorvane Mail Gateway!\r\n";
const char MAIL_FAILED[] = "Unable to connect to the mail server!\r\n";
}  // namespace

const RELAYSPEC _RelaySpecs[] = {
    {"NNTP", &APPSERVERS::nntpServer, (int)sizeof(APPSERVERS::nntpServer), &_pNNTPAppType, QvTag("tnAT"),
     QvTag("tnAD"), QvTag("tnAI"), "NNTPAPPTYPE", "NNTPDEFINITION", "NNTPAPPINSTANCE",
     {"502 The Quorvane Corvath is temporarily unavailable! Try again later!\r\n",
      "502 There are currently too many active users! Try again later!\r\n",
      "502 You are not authorized to access the Quorvane News Gateway!\r\n",
      "502 Unable to connect to the news server!\r\n"}},
    {"POP", &APPSERVERS::pop3Server, (int)sizeof(APPSERVERS::pop3Server), &_pPOPAppType, QvTag("tpAT"),
     QvTag("tpAD"), QvTag("tpAI"), "POPAPPTYPE", "POPDEFINITION", "POPAPPINSTANCE",
     {MAIL_NOT_READY, MAIL_TOO_MANY, MAIL_REFUSED, MAIL_FAILED}},
    {"SMTP", &APPSERVERS::smtpServer, (int)sizeof(APPSERVERS::smtpServer), &_pSMTPAppType, QvTag("tsAT"),
     QvTag("tsAD"), QvTag("tsAI"), "SMTPAPPTYPE", "SMTPDEFINITION", "SMTPAPPINSTANCE",
     {MAIL_NOT_READY, MAIL_TOO_MANY, MAIL_REFUSED, MAIL_FAILED}},
    {nullptr, nullptr, 0, nullptr, 0, 0, 0, nullptr, nullptr, nullptr, {nullptr, nullptr, nullptr, nullptr}},
};

const RELAYSPEC* FindRelaySpec(const char* name) {
    for (const RELAYSPEC* s = _RelaySpecs; name && s->name; s++)
        if (std::strcmp(s->name, name) == 0) return s;
    return nullptr;
}

// ---- type and packages --------------------------------------------------------

RELAYAPPTYPE::RELAYAPPTYPE(const RELAYSPEC& s) : TELAPPTYPE(s.name, s.name, TRUE, TRUE, TRUE), spec(s) {}

APPDEFINITION* RELAYAPPTYPE::CreateAppDefinition() {
    definition = RELAYDEFINITION::CreateRelayDefinition(this, spec);
    return definition;
}

int RELAYCLASS_INIT::InitCount[3] = {0, 0, 0};

RELAYCLASS_INIT::RELAYCLASS_INIT(const RELAYSPEC& s) : spec(s) {
    if (InitCount[&s - _RelaySpecs]++ != 0) return;
    RELAYAPPTYPE* type = new RELAYAPPTYPE(s);
    type->prepare();
    *s.global = type;
}

RELAYCLASS_INIT::~RELAYCLASS_INIT() {
    if (--InitCount[&spec - _RelaySpecs] != 0 || !*spec.global) return;
    (*spec.global)->freeobj();
    *spec.global = nullptr;
}

// After the packages of the layers below, which their headers set up.
static RELAYCLASS_INIT _ntpClassInit(_RelaySpecs[0]);
static RELAYCLASS_INIT _popClassInit(_RelaySpecs[1]);
static RELAYCLASS_INIT _smtClassInit(_RelaySpecs[2]);

// ---- definition ---------------------------------------------------------------

RELAYDEFINITION::RELAYDEFINITION(APPTYPE* t, const RELAYSPEC& s) : TELDEFINITION(t, FALSE), spec(s) {
    _strzcpy(name, s.name, sizeof name);
    RELAYAPPINSTANCE* i = new RELAYAPPINSTANCE(this, spec);
    i->prepare();
    instances.Add(*i);
}

RELAYDEFINITION* RELAYDEFINITION::CreateRelayDefinition(APPTYPE* type, const RELAYSPEC& spec) {
    RELAYDEFINITION* d = new RELAYDEFINITION(type, spec);
    d->prepare();
    return d;
}

TCPAPPINSTANCE* RELAYDEFINITION::CreateInstance(TCPAPPINSTANCE* parent) {
    RELAYAPPINSTANCE* i = new RELAYAPPINSTANCE(this, spec);
    i->prepare();
    if (parent) {
        i->parent = parent;
        parent->secondaries.Add(*i);
    }
    return i;
}

BBOOL RELAYDEFINITION::StartCommunications() {
    MakeInboundObjects();
    monitor->notifier = NotifyConnection;
    if (TELCONNECTION* l = dynamic_cast<TELCONNECTION*>(listener)) {
        l->fixedRelay = TRUE;
        l->relayMode = TRUE;
    }
    return TELDEFINITION::StartCommunications();
}

void RELAYDEFINITION::ConnectFailed(TELCONNECTION* client) {
    client->closeWhenIdle = TRUE;
    client->SendResponse(spec.texts.connectFailed, TRUE);
}

void RELAYDEFINITION::NotifyConnection(DATACONNECTION* c, int state) {
    TCPREQMONITOR* m = c ? dynamic_cast<TCPREQMONITOR*>(c->monitor) : nullptr;
    RELAYDEFINITION* d = m ? dynamic_cast<RELAYDEFINITION*>(m->definition) : nullptr;
    if (!d) _Task_Abend(ABEND_PTR101, (ULONG_PTR)c);
    TELCONNECTION* client = dynamic_cast<TELCONNECTION*>(c);
    if (state != CONN_CONNECTED || !client) {
        TELDEFINITION::NotifyConnection(c, state);
        return;
    }
    client->connected = TRUE;
    int reason = 0;
    if (!d->Admit(client, reason)) {
        d->Refuse(client, reason);
        return;
    }
    if (APPSTATUS::pdefaultConnNotify) APPSTATUS::pdefaultConnNotify(c, CONN_OPENED);
    TELOPENREQUEST* open = new TELOPENREQUEST(_pSvr ? (_pSvr->options.servers.*d->spec.host) : "");
    open->prepare();
    open->connection = client;
    if (d->QueueRequest(static_cast<DATAREQUEST*>(open))) return;
    open->FreeRequest(FALSE);
    client->SetLoginUser(nullptr, nullptr, nullptr);
    d->Refuse(client, LOGIN_NOT_PERMITTED);
}

// ---- instance -----------------------------------------------------------------

BBOOL RELAYAPPINSTANCE::StartCommunications(APPWORKERPROC) {
    MakeOutboundObjects();
    if (TELCONNECTION* prototype = dynamic_cast<TELCONNECTION*>(connection)) {
        prototype->fixedRelay = TRUE;
        prototype->relayMode = TRUE;
    }
    return TELAPPINSTANCE::StartCommunications(TELAPPINSTANCE::RequestMonitor);
}
