#include "LocalSite.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "HttpResponse.h"
#include "HtmlDoc.h"
#include "Profile.h"
#include "TextHelpers.h"

namespace {
const char kLocalFiles[] = "Local Files";
const char kDefaultType[] = "application/octet-stream";
const int kMaxScriptMarks = 6;

// The whole file; false when it is missing, empty or cannot be read.
bool ReadWhole(const char* path, std::vector<char>& bytes) {
    FILE* f = path && *path ? std::fopen(path, "rb") : nullptr;
    if (!f) return false;
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(f) : -1;
    ok = ok && size > 0 && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.resize(size);
        ok = std::fread(bytes.data(), 1, size, f) == (size_t)size;
    }
    std::fclose(f);
    return ok;
}

HTTPOBJECT* UncachedObject() {
    HTTPOBJECT* o = new HTTPOBJECT(nullptr, nullptr, TRUE, FALSE, 0);
    o->prepare();
    o->valid = 0;
    return o;
}

void Copy(BUFFER& out, const std::string& text) {
    if (out.data && out.length > 0) _strzcpy(out.data, text.c_str(), (int)out.length);
}
}  // namespace

BBOOL IsSafePageName(const char* name) {
    return name && !std::strstr(name, "..") && !std::strchr(name, ':') && !std::strchr(name, '\\');
}

HTTPLOCALSITE::HTTPLOCALSITE(const char* documentDir, const char* configDir, PROFILE* profile)
    : documentDirectory{}, configDirectory{}, localFiles(profile), adminPassword(nullptr) {
    _strzcpy(documentDirectory, documentDir ? documentDir : "", sizeof documentDirectory);
    _strzcpy(configDirectory, configDir ? configDir : "", sizeof configDirectory);
}

char* HTTPLOCALSITE::getAbsFileName(const char* name, BBOOL mapByProfile, BBOOL useConfigDirectory, BUFFER& path,
                                    BUFFER& type) {
    Copy(path, "");
    if (!IsSafePageName(name)) return nullptr;
    if (type.data && type.length > 0 && !type.data[0]) Copy(type, kDefaultType);
    std::string full = useConfigDirectory || !documentDirectory[0] ? configDirectory : documentDirectory;
    if (!full.empty() && full.back() != '\\') full += '\\';
    if (!mapByProfile) {
        full += name;
    } else {
        char entry[256] = "";
        const char* dot = std::strchr(name, '.');
        bool found = localFiles && localFiles->ReadString(kLocalFiles, name, BUFFER(entry, sizeof entry)) >= 0;
        if (found) {
            full += entry;
        } else {
            std::string wild = dot ? std::string("*") + dot : std::string();
            if (!dot || !localFiles || localFiles->ReadString(kLocalFiles, wild.c_str(), BUFFER(entry, sizeof entry)) < 0)
                return nullptr;
            // "*." in the entry stands for the requested name's base.
            std::string value = entry;
            size_t star = value.find("*.");
            if (star != std::string::npos) {
                std::string base(name, dot - name);
                if (base.size() > 127) base.resize(127);
                value.replace(star, 1, base);
            }
            full += value;
        }
    }
    size_t comma = full.find(',');
    if (comma != std::string::npos) {
        size_t t = full.find_first_not_of(" \t", comma + 1);
        Copy(type, t == std::string::npos ? std::string() : full.substr(t));
        full.resize(comma);
    }
    if (!path.data || path.length <= 0 || full.size() >= (size_t)path.length) return nullptr;
    Copy(path, full);
    return path.data;
}

HTTPOBJECT* HTTPLOCALSITE::bodyFromFile(const char* path, HTTPOBJECT* target, const char* argument) {
    std::vector<char> bytes;
    if (!ReadWhole(path, bytes)) return nullptr;
    std::string text(bytes.begin(), bytes.end());
    // The page is text, never a format: only its first "%s" takes the argument.
    if (argument) {
        size_t mark = text.find("%s");
        if (mark != std::string::npos) text.replace(mark, 2, HtmlText(argument));
    }
    HTTPOBJECT* object = target ? target : UncachedObject();
    if (!object->SetBlockData(text.data(), (long)text.size())) {
        if (!target) object->freeobj();
        return nullptr;
    }
    object->defined = 1;
    return object;
}

HTTPOBJECT* HTTPLOCALSITE::BuildGatewayProxyScript(const char* linkAddress, long linkPort) {
    if (!linkAddress || !*linkAddress) return nullptr;
    char address[96];
    std::snprintf(address, sizeof address, "%.63s:%ld", linkAddress, linkPort);
    char path[256], type[128] = "";
    BUFFER p(path, sizeof path), t(type, sizeof type);
    std::vector<char> bytes;
    // The template is the gateway's own file: without a "Local Files" entry it
    // is taken from the page directory by its name.
    if (!getAbsFileName("proxy.pas", TRUE, FALSE, p, t) && !getAbsFileName("proxy.pas", FALSE, FALSE, p, t))
        return nullptr;
    if (!ReadWhole(path, bytes)) return nullptr;
    long marks = 0;
    for (char c : bytes)
        if (c == '%') ++marks;
    if (marks > kMaxScriptMarks) return nullptr;
    size_t size = (std::strlen(address) - 2) * marks + bytes.size() + 1;
    std::string script;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '%' && i + 1 < bytes.size() && bytes[i + 1] == 's') {
            script += address;
            ++i;
        } else {
            script += bytes[i];
        }
    }
    script.resize(size, ' ');  // blanks up to the computed size, as every generated page
    HTTPOBJECT* object = UncachedObject();
    if (!object->SetBlockData(script.data(), (long)script.size())) {
        object->freeobj();
        return nullptr;
    }
    type[0] = 0;
    if (!getAbsFileName("proxy.pac", TRUE, FALSE, p, t)) _strzcpy(type, kDefaultType, sizeof type);
    object->AddHeader("Content-Type", type);
    object->AddHeader("Expires", HTTP_EXPIRED_DATE);
    object->defined = 1;
    return object;
}
