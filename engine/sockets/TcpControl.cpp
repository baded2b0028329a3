#include "TcpControl.h"
#include "TcpInterface.h"
#include "TcpSockLink.h"
#include "TaskAbend.h"
#include "BufferPool.h"

BBOOL TCPCONTROL::UseAsyncDNS = 1;
BBOOL TCPCONTROL::UseLocalLoop = 1;
BBOOL TCPCONTROL::DynamicRouting = 1;
BBOOL TCPCONTROL::PhonebookRouting = 1;
BBOOL TCPCONTROL::MultipleRouting = 1;

CHAIN<TCPINTERFACE>* _pTCPIPInterfaces = nullptr;
BUFFERPOOL* _pTCPStreamPool = nullptr;
int DTCPLINK_INIT::InitCount = 0;

TCPCONTROL::TCPCONTROL()
    : mainListeningLink(nullptr), defaultPort(0), auxPorts(1), maxAuxPorts(0), listenBacklog(1),
      connectionSlack(5), connectionsPerPort(100), maxSendSize(0) {
    interfaceList = _pTCPIPInterfaces;
}

TCPCONTROL::~TCPCONTROL() {
    // The auxiliary ports are links their connections own: only the cells go.
    MSEMHOLD hold(auxPorts.lock);
    for (bSPOINTER* c = auxPorts.first; c->target; c = c->next) static_cast<TCPSOCKLINK*>(c->target)->ownerNode = nullptr;
    auxPorts.RemoveAll(0, nullptr);
}

void TCPCONTROL::FreeLocalInterfaces() {
    if (_pTCPIPInterfaces) _pTCPIPInterfaces->RemoveAll(1, nullptr);
}

DTCPLINK_INIT::DTCPLINK_INIT() {
    if (InitCount++ != 0) return;
    _pTCPIPInterfaces = new CHAIN<TCPINTERFACE>(1);
    if (!_pTCPIPInterfaces) _Task_Abend(ABEND_STG101, sizeof(CHAIN<TCPINTERFACE>));
    _pTCPIPInterfaces->prepare();
    _pTCPStreamPool = new BUFFERPOOL(nullptr, TCP_STREAM_BUFFER_SIZE, 64, 0, TRUE);
    _pTCPStreamPool->prepare();
}

DTCPLINK_INIT::~DTCPLINK_INIT() {
    if (--InitCount != 0) return;
    if (_pTCPIPInterfaces) {
        _pTCPIPInterfaces->RemoveAll(1, nullptr);
        _pTCPIPInterfaces->freeobj();
    }
    _pTCPIPInterfaces = nullptr;
    // A buffer still out at exit goes back to its pool later: then the pool stays.
    if (_pTCPStreamPool && _pTCPStreamPool->inUse == 0) _pTCPStreamPool->freeobj();
    _pTCPStreamPool = nullptr;
}
