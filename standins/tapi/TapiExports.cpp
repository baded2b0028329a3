// The exports of the telephony stand-in tapi32.dll (Windows 95 folder): the
// two calls a session module takes a modem port with. lineGetID hands out
// the session host's fake modem port (StandInFormat.h) behind the
// variable-string header, with the port's name after it.
#include <cstdio>
#include <cstring>

#include "JournalLine.h"
#include "RasRecords.h"
#include "Scenario.h"
#include "StandInFormat.h"

extern "C" {

LONG WINAPI lineGetID(DWORD line, DWORD addressId, DWORD call, DWORD select, ras::VarString* id, const char* deviceClass) {
    standin::Scenario s = standin::Scenario::Load();
    standin::JournalLine j(standin::kTapi32, "lineGetID");
    j.Field("line", long(line)).Field("address", long(addressId)).Field("call", long(call)).Field("select", long(select));
    j.Field("class", deviceClass ? deviceClass : "").Field("size", id ? long(id->totalSize) : -1L);
    long fails = s.GetNumber("Modem", "LineGetIdFails", 0);
    if (fails) {
        j.Result(fails).Append();
        return fails;
    }
    if (!id || id->totalSize < ras::kVarStringSize) {
        j.Result(long(0x80000030)).Append();  // LINEERR_STRUCTURETOOSMALL
        return LONG(0x80000030);
    }
    std::string name = s.Get("Driver", "PortName", "COM2");
    uint32_t need = uint32_t(ras::kVarStringSize + 4 + name.size() + 1);
    id->neededSize = need;
    id->stringFormat = 1;  // STRINGFORMAT_ASCII
    if (id->totalSize < need) {
        id->usedSize = ras::kVarStringSize;
        id->stringSize = 0;
        id->stringOffset = 0;
    } else {
        char* data = reinterpret_cast<char*>(id) + ras::kVarStringSize;
        uint32_t port = uint32_t(standin::kFakeModemHandle);
        std::memcpy(data, &port, 4);
        std::memcpy(data + 4, name.c_str(), name.size() + 1);
        id->usedSize = need;
        id->stringSize = need - ras::kVarStringSize;
        id->stringOffset = ras::kVarStringSize;
    }
    j.Field("needed", long(need)).Result(0).Append();
    return 0;
}

LONG WINAPI lineDrop(DWORD call, const char* userUserInfo, DWORD size) {
    standin::JournalLine(standin::kTapi32, "lineDrop").Field("call", long(call)).Result(1).Append();
    return 1;  // the request's id: the drop completes later
}

}  // extern "C"
