#include "TcpConnection.h"

TCPCONNECTION::TCPCONNECTION(APPDEFINITION* definition, LINKCONTROL& control, const char* host, const char* port,
                             const char* linkType)
    : APPCONNECTION(definition, control, "TCPIP", host, port, linkType), receivedBytes(0), handledRequests(0) {}

TCPCONNECTION::TCPCONNECTION(const TCPCONNECTION& other, BBOOL recordParent, BBOOL internal)
    : APPCONNECTION(other, recordParent, internal), receivedBytes(0), handledRequests(0) {}

TCPCONNECTION::~TCPCONNECTION() {}
