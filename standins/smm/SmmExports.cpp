// The exports of the regular session module stand-ins: smmpri.dll (built
// with QV_SMM_PRIMARY, without a login script runner) and smmalt.dll. Each
// journals its calls under its own name; a start completes the session at
// once through the remote-access library's RnaComplete, so the dial connects.
#include "JournalLine.h"
#include "RasRecords.h"

namespace {

#ifdef QV_SMM_PRIMARY
const char kComponent[] = "smmpri";
#else
const char kComponent[] = "smmalt";
#endif

std::string HandleText(ras::Handle h) { return std::to_string(ras::HandleField(h)); }

DWORD WINAPI Start(ras::Handle conn, ras::SessionInfo* info) {
    standin::JournalLine(kComponent, "SMMSessStart").Field("handle", HandleText(conn)).Result(0).Append();
    HMODULE ras = GetModuleHandleA("RASAPI32.DLL");
    auto complete = ras ? reinterpret_cast<ras::RnaCompleteFn>(
                              reinterpret_cast<void (*)()>(GetProcAddress(ras, "RnaComplete")))
                        : nullptr;
    ras::Completion done = {ras::kCompletionSize, 0, {0, 0, 0}};
    if (complete) complete(conn, &done);
    return 0;
}

DWORD WINAPI Stop(ras::Handle conn) {
    standin::JournalLine(kComponent, "SMMSessStop").Field("handle", HandleText(conn)).Result(0).Append();
    return 0;
}

}  // namespace

extern "C" {

DWORD WINAPI RnaSessInitialize(char* protocol, ras::SessionTable* table) {
    standin::JournalLine j(kComponent, "RnaSessInitialize");
    j.Field("protocol", protocol ? protocol : "").Field("size", table ? long(table->size) : -1L);
    if (!table) {
        j.Result(long(ERROR_INVALID_PARAMETER)).Append();
        return ERROR_INVALID_PARAMETER;
    }
    table->start = Start;
    table->stop = Stop;
    j.Result(0).Append();
    return 0;
}

#ifndef QV_SMM_PRIMARY
DWORD WINAPI RunRnaScript(ras::Handle conn, ras::SessionInfo* info) {
    standin::JournalLine(kComponent, "RunRnaScript").Field("handle", HandleText(conn)).Result(0).Append();
    return 0;
}
#endif

}  // extern "C"
