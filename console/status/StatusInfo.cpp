#include "StatusInfo.h"

#include <cstdio>
#include <cstring>

#include "AppConnection.h"
#include "ConsoleIds.h"
#include "FormApp.h"
#include "StatusPane.h"
#include "SysHelpers.h"
#include "TextHelpers.h"

STATUSINFO::STATUSINFO() : lineRect(nullptr), displayLine(0) {}

STATUSINFO::~STATUSINFO() { delete lineRect; }

void STATUSINFO::ProvideObject(DATACONNECTION* connection) {
    FORMAPP* form = _pMainForm;
    if (!form || !connection) return;
    STATUSINFO* record = form->GetStatusInfo(dynamic_cast<APPCONNECTION*>(connection));
    if (!record) return;
    connection->status = record;
    if (form->statusPane) PostAppMessage(form->windowHandle(), APPMSG_STATUS_LINE, (LPARAM)record);
}

void STATUSINFO::NotifyChange() {
    FORMAPP* form = _pMainForm;
    if (form && form->statusPane && lineRect) PostAppMessage(form->windowHandle(), APPMSG_STATUS_LINE, (LPARAM)this);
}

STATUSCOPY::STATUSCOPY(const APPSTATUS& r)
    : inbound(r.inbound), line(r.line), count(r.resultCount), total(r.resultTotal) {
    _strzcpy(service, r.service, sizeof service);
    _strzcpy(peer, r.peer, sizeof peer);
    _strzcpy(command, r.command, sizeof command);
    _strzcpy(result, r.result, sizeof result);
    _strzcpy(state, r.state, sizeof state);
    _strzcpy(linkType, r.linkType, sizeof linkType);
    _strzcpy(method, r.method, sizeof method);
}

void StatusResultText(const STATUSCOPY& c, char* out, int size) {
    if (c.count == 0 || c.inbound) {
        _strzcpy(out, c.result[0] ? c.result : c.state, size);
    } else if (c.total) {
        std::snprintf(out, size, "%ld of %ld", c.count, c.total);
    } else {
        std::snprintf(out, size, "%ld", c.count);
    }
}
