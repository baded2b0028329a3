#include "TcpUser.h"

#include <cstring>

#include "TcpDefinition.h"

TCPUSER::TCPUSER(const char* a, const char* n, BBOOL removeFree)
    : APPUSER(a, n, nullptr, FALSE, removeFree), resolvedAddress{}, templateLength(0), definition(nullptr),
      chainNode(nullptr), failedAt(0) {
    checkTemplateAddress();
}

TCPUSER::TCPUSER(const APPUSER& user)
    : BASEITEM(), APPUSER(user), resolvedAddress{}, templateLength(0), definition(nullptr), chainNode(nullptr),
      failedAt(0) {
    checkTemplateAddress();
}

TCPUSER::~TCPUSER() {
    if (chainNode && definition) definition->RemoveAppUser(this);
}

void TCPUSER::checkTemplateAddress() {
    size_t n = std::strlen(address);
    templateLength = 0;
    if (n > 2 && address[n - 2] == '.' && address[n - 1] == '*') {
        address[n - 1] = 0;
        templateLength = (long)(n - 1);
    }
}

BBOOL TCPUSER::MatchesTemplate(const char* client) const {
    if (!templateLength) return FALSE;
    if (std::strcmp(address, "*.") == 0) return TRUE;
    return std::strncmp(address, client, (size_t)templateLength) == 0;
}
