// The application message (0x464) and the two line callbacks: how server and
// link-layer threads hand their console work to the GUI thread.
#include <cstdio>
#include <cstring>

#include "ConsoleDialogs.h"
#include "ConsoleIds.h"
#include "FormApp.h"
#include "AppDefinition.h"
#include "LinkInterface.h"
#include "LocalRequest.h"
#include "PgmThread.h"
#include "StatusInfo.h"
#include "StatusLine.h"
#include "StatusPane.h"
#include "SvrSystem.h"
#include "SysHelpers.h"
#include "TextHelpers.h"
#include "zScroller.h"

namespace {
const int LINE_TEXT = 128;

// Guards every line's status text: the link thread writes it, the GUI thread reads it.
CRITICAL_SECTION& lineTextLock() {
    static CRITICAL_SECTION* lock = [] {
        CRITICAL_SECTION* c = new CRITICAL_SECTION;
        InitializeCriticalSection(c);
        return c;
    }();
    return *lock;
}

// Status codes on which a separate thread handles the dropped line.
bool dropped(int code) { return code == 3 || (code >= 12 && code <= 17); }

void forEachDefinition(void (*call)(APPDEFINITION*, LINKINTERFACE*), LINKINTERFACE* line) {
    if (!_pSvr) return;
    CITERATOR<APPDEFINITION> it;
    for (APPDEFINITION* d = it.Begin(_pSvr->manager.definitions); d; d = it.Next()) call(d, line);
    it.End();
}
}  // namespace

int FORMAPP::AppCommand(zEvent* e) {
    LPARAM payload = e->lParm;
    switch ((unsigned short)e->wParm) {
    case APPMSG_STATUS_LINE:
        if (payload && statusPane) statusPane->UpdateDisplayLine(reinterpret_cast<STATUSINFO*>(payload));
        return 1;
    case APPMSG_LINK:
        if (payload) lineStatusRecord(reinterpret_cast<LINKINTERFACE*>(payload));
        return 1;
    case APPMSG_LINE_CHECK:
        periodicLineCheck();
        return 1;
    case APPMSG_DRAW:
        if (payload) reinterpret_cast<zScrollerBase*>(payload)->respondToSize();
        return 1;
    case APPMSG_SUBMIT:
        LOCALREQUEST::SubmitRequests();
        return 1;
    case APPMSG_TEXT:
        if (payload) {
            DisplayStatusMsg(reinterpret_cast<const char*>(payload), TRUE);
            logLine(reinterpret_cast<const char*>(payload));
        }
        return 1;
    case APPMSG_MESSAGE_BOX:
        if (SVRMSGBOX* box = reinterpret_cast<SVRMSGBOX*>(payload)) {
            box->Display(hwnd);
            box->freeobj();
        }
        return 1;
    case APPMSG_PROGRESS:
        if (_ConsoleDialogs.progress) _ConsoleDialogs.progress(this, reinterpret_cast<const char*>(payload));
        return 1;
    default:
        return 0;
    }
}

void FORMAPP::commInterfaceStatus(LINKINTERFACE* line, const char* text) {
    SVRSYSTEM* svr = _pSvr;
    if (!line || !svr || !svr->lines.started) return;
    if (line->serviceControl && (line->state == 10 || line->state == 11)) {
        if (line->state == 10)
            forEachDefinition([](APPDEFINITION* d, LINKINTERFACE* l) { d->StartSecondaryCommunications(l); }, line);
        else
            forEachDefinition([](APPDEFINITION* d, LINKINTERFACE* l) { d->StopSecondaryCommunications(l); }, line);
        return;
    }
    EnterCriticalSection(&lineTextLock());
    _strzcpy(line->statusText, text ? text : "", sizeof line->statusText);
    LeaveCriticalSection(&lineTextLock());
    if (FORMAPP* form = _pMainForm) PostAppMessage(form->windowHandle(), APPMSG_LINK, (LPARAM)line);
}

int FORMAPP::dialerUIPrompt(LINKINTERFACE* line, BUFFER& userName, BUFFER& password, BUFFER& domain) {
    FORMAPP* form = _pMainForm;
    if (!form || !_ConsoleDialogs.login) return 0;
    return _ConsoleDialogs.login(form, line, userName, password, domain);
}

void FORMAPP::DisplayCommStatus(LINKINTERFACE* line) {
    if (!line || !_pSvr) return;
    char text[LINE_TEXT] = {};
    BUFFER out(text, sizeof text);
    EnterCriticalSection(&lineTextLock());
    _pSvr->lines.GetCommStatusMsg(line, out);
    // Without the line policy's own words: the line's name and its status text.
    if (!text[0] && line->statusText[0]) std::snprintf(text, sizeof text, "%s : %s", line->name, line->statusText);
    LeaveCriticalSection(&lineTextLock());
    text[sizeof text - 1] = 0;
    DisplayStatusMsg(text, TRUE);
    logLine(text);
}

void FORMAPP::lineStatusRecord(LINKINTERFACE* line) {
    SVRSYSTEM* svr = _pSvr;
    if (!svr) return;
    DisplayCommStatus(line);
    if (line->lineNumber >= 1 && line->lineNumber <= 4) PostCmdMessage(hwnd, CMD_TO_FRONT + line->lineNumber, 0);
    if (svr->closing) return;
    int code = line->state;
    if (code == 2) {
        svr->lines.ProcessCommDisconnect(line);
    } else if (dropped(code)) {
        PGMTHREAD* thread = new PGMTHREAD(nullptr, nullptr, nullptr, TRUE);
        if (!thread->StartUp(&NETWORKINTERFACE::ProcessDisconnectThread, line)) thread->freeobj();
    } else if (code == 5) {
        line->Connect(TRUE);
    } else if (code == 9) {
        svr->lines.ProcessCommConnect(line);
    }
}

void FORMAPP::periodicLineCheck() {
    SVRSYSTEM* svr = _pSvr;
    if (!svr) return;
    svr->lines.CheckCommInterfaces(FALSE);
    for (int n = 1; n <= 4; ++n)
        if ((svr->lines.lines[n - 1].connected != 0) != (lineState[n - 1] != 0))
            PostCmdMessage(hwnd, CMD_TO_FRONT + n, 0, TRUE);
}
