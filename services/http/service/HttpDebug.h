#pragma once
// The HTTP service's runner of debug requests, with a command buffer large
// enough for a whole request.
#include "AppDebug.h"

class HTTPDEBUG : public APPDEBUG {
public:
    static constexpr int CommandSize = 16000;

    explicit HTTPDEBUG(APPTYPE* type);  // no memory for the buffer is fatal ("STG101")
    QV_ITEM_IDENTITY(HTTPDEBUG, "HTTPDEBUG", "HDBG")
};
