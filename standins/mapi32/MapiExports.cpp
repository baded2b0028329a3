// The Simple MAPI stand-in mapi32.dll: logons and sends are journaled (no mail
// leaves, no client starts); [MAPI] FailLogons=<n> makes the first n logons of
// each process fail with MAPI_E_LOGIN_FAILURE.
#include "QvWindows.h"

#include <mapi.h>

#include <string>

#include "JournalLine.h"
#include "Scenario.h"
#include "StandInFormat.h"

namespace {

// Logons this process has made; only the loader's thread calls in practice.
LONG g_logons = 0;
// The session handle a successful logon hands out.
const LHANDLE kSession = 1;

std::string Text(const char* s) { return s ? s : "<null>"; }

}  // namespace

extern "C" {

ULONG WINAPI MAPILogon(ULONG_PTR, LPSTR, LPSTR, FLAGS flags, ULONG, LPLHANDLE session) {
    standin::Scenario scenario = standin::Scenario::Load();
    scenario.JournalUnknownKeys(standin::kMapi32);
    LONG n = InterlockedIncrement(&g_logons);
    ULONG rc = n <= scenario.GetNumber("MAPI", "FailLogons", 0) ? MAPI_E_LOGIN_FAILURE : SUCCESS_SUCCESS;
    if (session) *session = rc == SUCCESS_SUCCESS ? kSession : 0;
    standin::JournalLine(standin::kMapi32, "MAPILogon").Result(long(rc)).Field("flags", long(flags)).Append();
    return rc;
}

ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR, lpMapiMessage message, FLAGS flags, ULONG) {
    standin::JournalLine line(standin::kMapi32, "MAPISendMail");
    line.Result(SUCCESS_SUCCESS).Field("handle", std::to_string((unsigned long long)session)).Field("flags", long(flags));
    if (!message) {
        line.Result(MAPI_E_INVALID_MESSAGE).Append();
        return MAPI_E_INVALID_MESSAGE;
    }
    line.Field("note", Text(message->lpszNoteText)).Field("files", long(message->nFileCount));
    for (ULONG i = 0; i < message->nFileCount && message->lpFiles; ++i)
        line.Field("path", Text(message->lpFiles[i].lpszPathName))
            .Field("position", std::to_string((unsigned long)message->lpFiles[i].nPosition));
    line.Append();
    return SUCCESS_SUCCESS;
}

}  // extern "C"
