#include "zMail.h"

#include <vector>

zMail::zMail() {
    lib_ = LoadLibraryA("mapi32.dll");
    if (!lib_) return;
    logon_ = reinterpret_cast<LPMAPILOGON>(reinterpret_cast<void*>(GetProcAddress(lib_, "MAPILogon")));
    sendMail_ = reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(GetProcAddress(lib_, "MAPISendMail")));
    valid_ = logon_ && sendMail_;
}

zMail::~zMail() {
    if (lib_) FreeLibrary(lib_);
}

ULONG zMail::logon() {
    ULONG rc = logon_(0, nullptr, nullptr, logonFlags_, 0, &session_);
    if (rc == SUCCESS_SUCCESS) return rc;
    logonFlags_ = MAPI_LOGON_UI | MAPI_NEW_SESSION;
    return logon_(0, nullptr, nullptr, logonFlags_, 0, &session_);
}

ULONG zMail::sendWith(const ZKCString& text, MapiFileDesc* files, ULONG count) {
    if (!valid_) return MAPI_E_FAILURE;
    ULONG rc = logon();
    if (rc != SUCCESS_SUCCESS) return rc;
    message_ = MapiMessage{};
    message_.lpszNoteText = const_cast<char*>(text.data());
    message_.nFileCount = count;
    message_.lpFiles = count ? files : nullptr;
    rc = sendMail_(0, 0, &message_, MAPI_DIALOG, 0);
    message_.lpFiles = nullptr;
    return rc;
}

namespace {

MapiFileDesc attachment(const ZKCString& path) {
    MapiFileDesc f = {};
    f.nPosition = 0xFFFFFFFF;
    f.lpszPathName = const_cast<char*>(path.data());
    return f;
}

}  // namespace

ULONG zMail::send(const ZKCString& text, const ZKCString& path) {
    MapiFileDesc file = attachment(path);
    return sendWith(text, &file, path.isNull() ? 0 : 1);
}

ULONG zMail::send(const ZKCString& text, ZKTPtrSlist<ZKCString>& paths) {
    std::vector<MapiFileDesc> files;
    ZKTPtrSlistIterator<ZKCString> next(paths);
    while (ZKCString* p = next()) files.push_back(attachment(*p));
    return sendWith(text, files.data(), ULONG(files.size()));
}
