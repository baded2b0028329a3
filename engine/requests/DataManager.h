#pragma once
// The data manager: identifier generators, the system store and the running monitors.
#include "QvBase.h"
#include "BaseItem.h"
#include "SpControl.h"
#include "Chain.h"
#include "Semaphore.h"
#include "PgmThread.h"
#include "IdControl.h"

class REQUESTMONITOR;
class DATASTORE;

class DMCONTROL : public BASEITEM {
public:
    DMCONTROL();
    ~DMCONTROL() override;

    QV_ITEM_IDENTITY(DMCONTROL, "DMCONTROL", "DMCT")

    IDCONTROL objectIds;
    IDCONTROL requestIds;
    DATASTORE* systemStore;  // "*system"; made by the object store when it is present
    CHAIN<REQUESTMONITOR> monitors;
    PGMTHREAD* commonThread;  // the shared monitor thread, or null
    ESEMAPHORE commonEvent;
    volatile BBOOL commonStop;
};

extern DMCONTROL* _pDataSys;

class DATAMAN_INIT {
public:
    DATAMAN_INIT();
    ~DATAMAN_INIT();
    static int InitCount;
};

static DATAMAN_INIT _dataManInit;
