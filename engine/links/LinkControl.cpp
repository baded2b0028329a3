#include "LinkControl.h"
#include "TaskAbend.h"

LINKCONTROL* _pDefaultLinkControl = nullptr;
int DATACOMM_INIT::InitCount = 0;

LINKCONTROL::LINKCONTROL()
    : connectionCount(0), messageMode(0), streamHandler(nullptr), sendDrainedHook(nullptr),
      interfaceList(nullptr), errorSink(nullptr) {}

LINKCONTROL::~LINKCONTROL() {}

DATACOMM_INIT::DATACOMM_INIT() {
    if (InitCount++ != 0) return;
    _pDefaultLinkControl = new LINKCONTROL;
    if (!_pDefaultLinkControl) _Task_Abend(ABEND_STG101, sizeof(LINKCONTROL));
    _pDefaultLinkControl->prepare();
}

DATACOMM_INIT::~DATACOMM_INIT() {
    if (--InitCount != 0) return;
    if (_pDefaultLinkControl) _pDefaultLinkControl->freeobj();
    _pDefaultLinkControl = nullptr;
}
