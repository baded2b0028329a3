#include "RouteCommand.h"

#include <cstring>
#include <vector>

#include "QvWindows.h"
#include "Scenario.h"
#include "StandInFormat.h"

namespace standin {
namespace {

const char kDestination[] = " 0.0.0.0 MASK 0.0.0.0 ";

bool IsAddress(const std::string& s) {
    int parts = 0, digits = 0;
    long value = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == '.') {
            if (digits == 0 || value > 255) return false;
            ++parts;
            digits = 0;
            value = 0;
        } else if (s[i] >= '0' && s[i] <= '9' && digits < 3) {
            value = value * 10 + (s[i] - '0');
            ++digits;
        } else {
            return false;
        }
    }
    return parts == 4;
}

bool IsNumber(const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos; }

bool Take(std::string& rest, const std::string& word) {
    if (rest.compare(0, word.size(), word) != 0) return false;
    rest.erase(0, word.size());
    return true;
}

// Replaces the persistent default route.
void SetPersistentDefault(const std::string& gateway, const std::string& metric) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPersistentRoutesKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    std::vector<std::string> old;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD len = sizeof name;
        if (RegEnumValueA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (std::strncmp(name, "0.0.0.0,0.0.0.0,", 16) == 0) old.emplace_back(name, len);
    }
    for (const std::string& name : old) RegDeleteValueA(key, name.c_str());
    std::string name = "0.0.0.0,0.0.0.0," + gateway + "," + metric;
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    RegCloseKey(key);
}

}  // namespace

RouteCommand::RouteCommand(const std::string& args) {
    std::string rest = args;
    persistent = Take(rest, "-p ");
    Kind k = Take(rest, "ADD") ? Add : Take(rest, "CHANGE") ? Change : Take(rest, "DELETE") ? Delete : Invalid;
    if (k == Invalid || !Take(rest, kDestination)) return;
    if (persistent) {
        size_t at = rest.find(" METRIC ");
        if (k == Delete || at == std::string::npos) return;
        metric = rest.substr(at + 8);
        rest.erase(at);
        if (!IsNumber(metric)) return;
    }
    if (!IsAddress(rest)) return;
    gateway = rest;
    kind = k;
}

int RouteCommand::Run() const {
    if (kind == Invalid) return kBadLine;
    int code = kDone;
    Scenario::Update([&](Scenario& s) {
        std::string current = s.Get("Route", "Default");
        const char* failKey = kind == Add ? "FailAdd" : kind == Change ? "FailChange" : "FailDelete";
        bool refused = s.GetNumber("Route", failKey, 0) != 0 || (kind == Add && !current.empty()) ||
                       (kind == Change && current.empty()) || (kind == Delete && current != gateway);
        if (refused) {
            code = kRefused;
            return;
        }
        s.Set("Route", "Default", kind == Delete ? "" : gateway);
    });
    if (code == kDone && persistent) SetPersistentDefault(gateway, metric);
    return code;
}

}  // namespace standin
