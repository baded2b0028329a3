#pragma once
// Trace points of the engine: the communication category's "Event"; the first item is the event text.
#include "SpControl.h"

#define QV_COMM_TRACE(kinds, ...) QV_TRACE(TRACE_COMM, TRACE_COMM_EVENT, kinds, __VA_ARGS__)
