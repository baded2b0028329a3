// The service linked into the test-only quorhub: an "HTTP" type whose
// definition starts and stops at once and never holds a request, so that the
// program reaches "ready" before the real services exist.
#include <cstring>

#include "QvWindows.h"
#include "AppCfg.h"
#include "AppDefinition.h"
#include "AppLog.h"
#include "AppType.h"
#include "TextHelpers.h"

namespace {

class HUBDEFINITION : public APPDEFINITION {
public:
    explicit HUBDEFINITION(APPTYPE* t) : APPDEFINITION(t) { _strzcpy(name, t->name, sizeof name); }
    QV_ITEM_IDENTITY(HUBDEFINITION, "APPDEFINITION", "APPD")
};

class HUBTYPE : public APPTYPE {
public:
    HUBTYPE() : APPTYPE("HTTP") {
        config = new APPCFG();
        log = new APPLOG("HTTP");
    }
    ~HUBTYPE() override {
        if (config) config->freeobj();
        delete log;
    }
    QV_ITEM_IDENTITY(HUBTYPE, "APPTYPE", "APTP")
    APPDEFINITION* CreateAppDefinition() override { return new HUBDEFINITION(this); }
};

struct HUBCLASS_INIT {
    HUBCLASS_INIT() {
        _pHTTPAppType = new HUBTYPE();
        _pHTTPAppType->prepare();
    }
} hubInit;

}  // namespace
