#pragma once
// Trace points of the engine: category COMM, event 3; the first item is the event text.
#include "SpControl.h"

#define QV_COMM_TRACE(kinds, ...)                                                   \
    do {                                                                            \
        if (_pSupport && _pSupport->trace.IsTracing(TRACE_COMM))                    \
            _pSupport->trace.TraceEvent(TRACE_COMM, 3, kinds, __VA_ARGS__);         \
    } while (0)
