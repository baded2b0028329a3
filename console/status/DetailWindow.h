#pragma once
// "Connection Details": a small window that shows the status pane's selected
// record in full and follows the selection. GUI thread only.
#include "QvWindows.h"
#include "zDialogFrame.h"
#include "zPane.h"
#include "BevelEdge.h"
#include "PaneFont.h"

class STATUSPANE;
class STATUSINFO;

class DETAILPANE : public zPane {
public:
    DETAILPANE(zWindow* parent, zSizer* sizer, STATUSINFO* record);
    ~DETAILPANE() override;

    int size(zSizeEvt* e) override;
    int getPreferredSize(zDimension& d) override;
    int draw(zDrawEvt* e) override;
    void scrollPane(int dx, int dy, const zRect& r) override;

    void setDirtyData();

    PANEFONT font;
    BEVELEDGE bevelEdge;
    STATUSINFO* record;  // not owned
    zRect* dataRect;     // owned; null until drawn
    int widthUnits;      // 100
    int minimumWidth;    // 400
    int preferredWidth;  // grows to the widest value drawn
    int preferredHeight;
};

class DETAILWINDOW : public zDialogFrame {
public:
    // At the screen rectangle, for the pane's selected record.
    DETAILWINDOW(STATUSPANE* pane, const zRect& at, STATUSINFO* record);
    ~DETAILWINDOW() override;
    int kill(zEvent* e) override;

    void SetDirtyData();
    void ShowRecord(STATUSINFO* record);

    STATUSPANE* pane;  // not owned; null once the pane let go
    DETAILPANE* detailPane;
};
