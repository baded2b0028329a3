#pragma once
// The NNTP, POP and SMTP relays: one design driven by a table. A client of the
// service's port is joined, with no dialogue of the gateway's own, to the one
// server the gateway is configured with, and both sides are relayed unchanged.
#include "QvWindows.h"
#include "AppOptions.h"
#include "TelService.h"

// What tells the three relays apart.
struct RELAYSPEC {
    const char* name;               // service, log and definition name
    char (APPSERVERS::*host)[256];  // the [Application Servers] text naming the server
    int hostSize;
    APPTYPE** global;               // the type global of the registration table
    unsigned long typeId, definitionId, instanceId;
    const char* typeClass;
    const char* definitionClass;
    const char* instanceClass;
    TELTEXTS texts;
};

// NNTP, POP, SMTP; ended by a row whose name is null.
extern const RELAYSPEC _RelaySpecs[];
const RELAYSPEC* FindRelaySpec(const char* name);

class RELAYAPPTYPE : public TELAPPTYPE {
public:
    explicit RELAYAPPTYPE(const RELAYSPEC& spec);
    ~RELAYAPPTYPE() override {}

    const char* ItemClassName() const override { return spec.typeClass; }
    unsigned long ItemClassID() const override { return spec.typeId; }
    void* ItemGetAddress() const override { return (void*)this; }
    int ItemGetSize() const override { return (int)sizeof *this; }

    APPDEFINITION* CreateAppDefinition() override;

    const RELAYSPEC& spec;
};

class RELAYDEFINITION : public TELDEFINITION {
public:
    RELAYDEFINITION(APPTYPE* type, const RELAYSPEC& spec);  // always with one instance
    ~RELAYDEFINITION() override {}

    const char* ItemClassName() const override { return spec.definitionClass; }
    unsigned long ItemClassID() const override { return spec.definitionId; }
    void* ItemGetAddress() const override { return (void*)this; }
    int ItemGetSize() const override { return (int)sizeof *this; }

    static RELAYDEFINITION* CreateRelayDefinition(APPTYPE* type, const RELAYSPEC& spec);
    TCPAPPINSTANCE* CreateInstance(TCPAPPINSTANCE* parent) override;
    // Control thread: the listener and every client are fixed relays.
    BBOOL StartCommunications() override;
    // The failure text; the client closes once it has gone.
    void ConnectFailed(TELCONNECTION* client) override;
    const TELTEXTS& Texts() const override { return spec.texts; }

    // Connection-state hook of the listening monitor (monitor threads).
    static void NotifyConnection(DATACONNECTION* connection, int state);

    const RELAYSPEC& spec;
};

class RELAYAPPINSTANCE : public TELAPPINSTANCE {
public:
    RELAYAPPINSTANCE(APPDEFINITION* definition, const RELAYSPEC& spec) : TELAPPINSTANCE(definition), spec(spec) {}
    ~RELAYAPPINSTANCE() override {}

    const char* ItemClassName() const override { return spec.instanceClass; }
    unsigned long ItemClassID() const override { return spec.instanceId; }
    void* ItemGetAddress() const override { return (void*)this; }
    int ItemGetSize() const override { return (int)sizeof *this; }

    // Control thread: the outbound prototype is a fixed relay; the worker is always the line layer's.
    BBOOL StartCommunications(APPWORKERPROC worker) override;

    const RELAYSPEC& spec;
};

// One per relay: the first user makes its type global, the last deletes it.
class RELAYCLASS_INIT {
public:
    explicit RELAYCLASS_INIT(const RELAYSPEC& spec);
    ~RELAYCLASS_INIT();

    const RELAYSPEC& spec;
    static int InitCount[3];
};
