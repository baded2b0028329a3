#include "DataManager.h"
#include "RequestMonitor.h"
#include "TaskAbend.h"

DMCONTROL* _pDataSys = nullptr;
int DATAMAN_INIT::InitCount = 0;

DMCONTROL::DMCONTROL()
    : objectIds(0), requestIds(0), systemStore(nullptr), monitors(1), commonThread(nullptr), commonEvent(1),
      commonStop(0) {
    monitors.freeOnDestroy = 1;
}

DMCONTROL::~DMCONTROL() {}

DATAMAN_INIT::DATAMAN_INIT() {
    if (InitCount++ != 0) return;
    _pDataSys = new DMCONTROL;
    if (!_pDataSys) _Task_Abend(ABEND_STG101, sizeof(DMCONTROL));
    _pDataSys->prepare();
}

DATAMAN_INIT::~DATAMAN_INIT() {
    if (--InitCount != 0) return;
    if (_pDataSys) _pDataSys->freeobj();
    _pDataSys = nullptr;
}
