#pragma once
// Top-level frames, the application frame, popups, child frames and child windows.
#include "QvWindows.h"

#include "zWindow.h"

class zIcon;
class zString;
class ZKCString;

class zFrameWin : public zWindow {
public:
    zDevice* device = nullptr;
    int minTrackWidth = 0;
    int minTrackHeight = 0;

    zFrameWin(zWindow* parent, zSizer* sizer, unsigned long style, const char* title);
    explicit zFrameWin(zWindow* parent);
    zFrameWin(zSizer* sizer, unsigned long style, const char* title);
    ~zFrameWin() override;

    int dispatch(zEvent* e) override;

    // Added after zWindow's operations.
    virtual const ZKCString& caption() const { return title; }
    virtual void caption(const ZKCString& text);
    virtual void caption(const zString& text);
    virtual void caption(const char* text);
    virtual int create();

    void setIcon(zIcon* icon);
    void setMinimumSize();
    void menu(zDevice* m);  // takes ownership of the frame's menu
    zDevice* menu() const { return device; }

protected:
    void frameInit(const char* title);
    // Step 1 of creation: registers the class the window asks for.
    void registerClass(bool oncePerProcess, const char* onceName);
    void storeCreatedRect(bool popupRule);
};

class zAppFrame : public zFrameWin {
public:
    zAppFrame(zWindow* parent, zSizer* sizer, unsigned long style, const char* title, int defer = 0);
    WNDCLASSA* registerHook() override;
    int show(int cmd = SW_SHOWNORMAL) override;
};

class zPopupFrame : public zFrameWin {
public:
    zPopupFrame(zWindow* parent, zSizer* sizer, unsigned long style, const char* title);
    WNDCLASSA* registerHook() override;
    int show(int cmd = SW_SHOWNORMAL) override;
};

class zChildFrame : public zFrameWin {
public:
    zChildFrame(zWindow* parent, zSizer* sizer, unsigned long style, const char* title, int defer = 0);
    explicit zChildFrame(zWindow* parent);
    WNDCLASSA* registerHook() override;
    int show(int cmd = SW_SHOWNORMAL) override;
    int create() override;
};

class zChildWin : public zWindow {
public:
    zChildWin(zWindow* parent, zSizer* sizer, unsigned long style, int id);
    explicit zChildWin(zWindow* parent);

    int show(int cmd = SW_SHOWNORMAL) override;

    // Added after zWindow's operations.
    virtual int create();
    virtual int ch(zKeyEvt* e) { return 0; }
    virtual int setToDefault() { return 1; }

    // Records on the parent for this child's commands and notifications.
    void setCommand(zEvH* target, NotifyProc fn);
    void setCommand(zEvH* target, CommandProc fn) { setCommand(target, reinterpret_cast<NotifyProc>(fn)); }
    void removeCommand(zEvH* target, NotifyProc fn);
    void removeCommand(zEvH* target, CommandProc fn) { removeCommand(target, reinterpret_cast<NotifyProc>(fn)); }
    void setupNotify(zEvH* target, NotifyProc fn, unsigned long code);
    void removeNotify(zEvH* target, NotifyProc fn, unsigned long code);

protected:
    zChildWin();
};

LRESULT CALLBACK zChildFrameWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// The window procedure of the framework's plain child windows ("VisualCtrl").
LRESULT CALLBACK ziChildWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
