#include "HttpDebug.h"

#include "TaskAbend.h"

HTTPDEBUG::HTTPDEBUG(APPTYPE* t) : APPDEBUG(t) {
    if (!AllocCommand(CommandSize)) _Task_Abend(ABEND_STG101, CommandSize);
}
