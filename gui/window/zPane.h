#pragma once
// Panes: child windows that draw through a display and can scroll their contents.
#include "QvWindows.h"

#include <vector>

#include "zFrameWin.h"

class zDisplay;
class zWinDisplay;
class zBitmap;
class zPrinterDisplay;
class zPrintJob;

class zCaret {
public:
    zWindow* win;
    zBitmap* shape = nullptr;
    HBITMAP shapeValue = 0;  // used without a bitmap: 0 solid, 1 gray
    int width;
    int height;
    int x = 0;
    int y = 0;
    int showCount = 0;
    unsigned short blinkTime;
    int active = 0;
    unsigned short savedBlink = 0;

    zCaret(zWindow* w, int width, int height, zBitmap* bitmap = nullptr);
    ~zCaret();
    void activate(int on);
    void show();
    void hide();
    void move(int nx, int ny);
};

class zPane : public zChildWin {
public:
    zWinDisplay* curDisplay = nullptr;
    zWinDisplay* ownDisplay = nullptr;
    std::vector<zDisplay*> displays;
    zWindow* prevObject = nullptr;
    zCaret* caretObj = nullptr;

    zPane(zWindow* parent, zSizer* sizer, unsigned long style, int id = 0, int create = 1);
    zPane(void* hwnd, zWindow* parent, zSizer* sizer, unsigned long style);
    zPane(zWindow* parent, int id);
    ~zPane() override;

    WNDCLASSA* registerHook() override;
    int scroll(zEvent* e) override;
    int focus(zFocusEvt* e) override;
    int show(int cmd = SW_SHOWNORMAL) override;
    void ziBackgroundColor(const zColor& c) override;

    // Added after zChildWin's operations.
    virtual int draw(zDrawEvt* e);
    virtual void setMetrics() {}
    virtual int printSetup(zPrinterDisplay*, zPrintJob*) { return 0; }
    virtual void printCleanup(zPrinterDisplay*, zPrintJob*) {}
    virtual int print(zPrinterDisplay*, zRect*) { return 0; }
    virtual int morePages() { return 0; }
    virtual void scrollPane(int dx, int dy, const zRect& r);

    zWinDisplay* canvas() const { return curDisplay; }
    void caret(zCaret* c) { caretObj = c; }
    zCaret* caret() const { return caretObj; }
    zWindow* findPrevObject();

private:
    void paneInit();
};

class zPaneControl : public zPane {
public:
    zPaneControl(zWindow* parent, int id);
    zPaneControl(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);

    int dispatch(zEvent* e) override;
    virtual void onEnableDisable(int) {}

    void sendNotification(unsigned short code);
    void postNotification(unsigned short code);
};

LRESULT CALLBACK PaneWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
int doPaneDraw(zPane* p, zEvent* e);

// The dialog reader builds pane controls named in templates with this.
zChildWin* zCtrlBldzPaneControl(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);
