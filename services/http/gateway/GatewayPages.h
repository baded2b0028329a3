#pragma once
// What the gateway status page and the scheduled request list read of the
// server, gathered into plain records so that the pages are built from one
// consistent picture; the default sources read the running server, tests
// put their own in place (on the thread that builds the pages).
#include <string>
#include <vector>

#include "QvBase.h"

// String-table entries of the scheduled request list's titles.
const int IDS_REQUESTS_TITLE = 290;          // "Scheduled %s requests ..."
const int IDS_REQUESTS_REMOVE_TITLE = 291;   // "Remove requests from the %s schedule ..."
const int IDS_USER_REQUESTS_TITLE = 292;     // "Scheduled requests for user %s ..."
const int IDS_USER_REQUESTS_REMOVE_TITLE = 293;  // "Remove scheduled requests for user %s ..."

// The server's user figures and its lines' switches.
struct GWSFIGURES {
    long activeUsers = 0;
    long peakUsers = 0;
    long maximumUsers = 0;  // "Maximum Users"
    long lineCount = 1;     // configured dial-up lines, 1 to 4
    BBOOL lineOn[4] = {};
};

// One dial-up line as the status page shows it.
struct GWSLINE {
    std::string status;            // "<entry> : <state>"
    unsigned long connectStart = 0;  // seconds; 0 when not connected
    long rate = 0;                 // bits per second; 0 when not reported
    unsigned long received = 0;    // total bytes
    unsigned long sent = 0;
    long samplePeriod = 0;         // seconds
    unsigned long receiveSpeed = 0;  // characters per second over the last period
    unsigned long sendSpeed = 0;
};

typedef void (*GWSFIGURESOURCE)(GWSFIGURES& figures);
// FALSE when line n (1-4) does not exist.
typedef BBOOL (*GWSLINESOURCE)(int n, GWSLINE& line);
extern GWSFIGURESOURCE _pGatewayFigures;
extern GWSLINESOURCE _pGatewayLine;

// One stored HTTP GET request of the schedule.
struct SCHEDULEDROW {
    std::string origin;
    unsigned long requestId = 0;
    BBOOL ftp = FALSE;
    std::string host;
    std::string path;
    BBOOL active = FALSE;  // being fetched, or waiting on the pending list
    BBOOL armed = FALSE;   // its timer is queued
    std::string start;
    std::string frequency;
    std::string duration;
};

// The stored HTTP GET requests in the schedule's order, read under its lock.
typedef void (*SCHEDULEDSOURCE)(std::vector<SCHEDULEDROW>& rows);
extern SCHEDULEDSOURCE _pScheduledRequests;
