#pragma once
// The take-over of a connected modem port: checks the port's signals,
// records the connection and hands the port to the gateway's driver, which
// drives the line from then on; Dial-Up Networking's call is dropped.
#include "QvWindows.h"
#include "TrapContext.h"

// Checks the port and records the connection; with takeOver hands the port
// to the driver and closes the session's key. 0, or: the device query's or
// telephony layer's error, 14 (no memory), 6 (no port handle), the modem
// status's error, 668 (a checked signal is off), the driver's refusal or
// open error (take-over), the final "Status" write's error.
DWORD _UseConnection(SESSIONCTX* session, BOOL takeOver, const ras::Entry* entry);
// Finds the port's name (driver, else the modem class keys) and writes
// "ComPort"; TRUE when a name was found.
BOOL _GetCommPort(SESSIONCTX* session, const ras::DevicePort* device, PORTRECORD* record);
