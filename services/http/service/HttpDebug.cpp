#include "HttpDebug.h"

#include "TaskAbend.h"

HTTPDEBUG::HTTPDEBUG(APPTYPE* t) : APPDEBUG(t) {
    if (!AllocCommand(CommandSize)) _Task_Abend("STG101", CommandSize);
}
