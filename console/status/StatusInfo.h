#pragma once
// The console's connection status record: the server's record of one
// connection, with the line the status pane gave it. Server threads change
// it under the status lock (APPSTATUS::Lock) and post 0xC82; the pane reads
// it on the GUI thread under the same lock.
#include "QvWindows.h"
#include "AppStatus.h"
#include "BaseItem.h"
#include "zGeometry.h"

class DATACONNECTION;

class STATUSINFO : public APPSTATUS, public STORABLE {
public:
    STATUSINFO();
    ~STATUSINFO() override;

    QV_ITEM_IDENTITY(STATUSINFO, "STATUSINFO", "STAT")

    // Server thread: a new connection gets a record of the main window's chain.
    static void ProvideObject(DATACONNECTION* connection);
    // Server thread, after a change: posts 0xC82 once the pane laid the record out.
    void NotifyChange() override;

    BOOL InUse() const { return !cleared; }

    zRect* lineRect;  // owned; GUI thread; null until the pane lays the record out
    long displayLine; // GUI thread; 0 until the pane assigns one, 1 is the first
};

// A record's texts and numbers as the pane draws them, copied under the status lock.
struct STATUSCOPY {
    BOOL inbound;
    char service[16];
    char peer[128];
    char command[500];
    char result[81];
    char state[12];
    char linkType[6];
    char method[9];
    long line;
    long count;
    long total;

    explicit STATUSCOPY(const APPSTATUS& record);
};

// The result column's text: the result or state while nothing is counted (an
// inbound record never shows a count), else "n" or "n of m".
void StatusResultText(const STATUSCOPY& copy, char* out, int size);
