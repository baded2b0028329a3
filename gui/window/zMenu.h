#pragma once
// Menu bars, system menus and popup menus; each is a device with its own handler records.
#include "QvWindows.h"

#include "zGeometry.h"
#include "zNotify.h"

class zResId;
class zBitmap;

class zMenu : public zDevice {
public:
    zWindow* ownerWin = nullptr;
    HMENU hmenu = 0;

    zMenu();                         // empty popup menu, no window
    explicit zMenu(zWindow* w);      // empty menu bar set on the window
    zMenu(zWindow* w, const zResId& id);
    explicit zMenu(const zResId& id);
    ~zMenu() override;

    HMENU handle() const { return hmenu; }
    HMENU operator*() const { return hmenu; }
    zWindow* window() const { return ownerWin; }
    void ziClearHandle() { hmenu = 0; }
    HMENU loadFromResource(const zResId& id);

    int appendItem(unsigned id, const char* text, unsigned flags = MF_STRING);
    int appendItem(unsigned id, HBITMAP bitmap);
    int appendItem(unsigned id, zBitmap* bitmap);
    int addStr(unsigned id, const char* text) { return appendItem(id, text, MF_STRING); }
    int addHbreak();
    int addHbreak(unsigned id, const char* text);
    int addVbreak(unsigned id, const char* text);
    int appendDropDown(zMenu* sub, const char* text);
    int appendDropDown(zMenu* sub, HBITMAP bitmap);
    int appendDropDown(zMenu* sub, zBitmap* bitmap);
    int insertItem(unsigned id, unsigned position, const char* text, unsigned flags = MF_STRING);
    int insertItem(unsigned id, unsigned position, HBITMAP bitmap, unsigned flags = 0);
    int insertDropDown(zMenu* sub, const char* text, unsigned position);
    int insertDropDown(zMenu* sub, HBITMAP bitmap, unsigned position);
    int insertDropDown(zMenu* sub, zBitmap* bitmap, unsigned position);
    int deleteItem(unsigned id);
    int deleteDropDown(unsigned position);
    int grayItem(unsigned id, int gray);
    int enableItem(unsigned id, int enable);
    int checkItem(unsigned id, int check);
    void update();

    void setCommand(zEvH* t, NotifyProc f, unsigned id);
    void setCommand(zEvH* t, NotifyProc f, unsigned low, unsigned high);
    void setCommand(zEvH* t, NotifyProc f);
    void setCommand(zEvH* t, CommandProc f, unsigned id) { setCommand(t, reinterpret_cast<NotifyProc>(f), id); }
    void setCommand(zEvH* t, CommandProc f, unsigned low, unsigned high) {
        setCommand(t, reinterpret_cast<NotifyProc>(f), low, high);
    }
    void setCommand(zEvH* t, CommandProc f) { setCommand(t, reinterpret_cast<NotifyProc>(f)); }
    void setHilite(zEvH* t, NotifyProc f, unsigned id);
    void setHilite(zEvH* t, NotifyProc f, unsigned low, unsigned high);
    void setHilite(zEvH* t, NotifyProc f);
    void setSetup(zEvH* t, NotifyProc f, unsigned id);
    void setSetup(zEvH* t, NotifyProc f, unsigned low, unsigned high);
    void setSetup(zEvH* t, NotifyProc f);
    void removeCommand(zEvH* t, NotifyProc f);
    void removeCommand(zEvH* t, CommandProc f) { removeCommand(t, reinterpret_cast<NotifyProc>(f)); }
    void removeHilite(zEvH* t, NotifyProc f);
    void removeSetup(zEvH* t, NotifyProc f);

protected:
    void attachRecord(unsigned low, unsigned high, zEvH* t, NotifyProc f, UINT message);
};

class zSystemMenu : public zMenu {
public:
    explicit zSystemMenu(zWindow* w);
    ~zSystemMenu() override;
};

class zPopupMenu : public zMenu {
public:
    int x = 0;
    int y = 0;
    HMENU loaded = 0;

    zPopupMenu(const zPoint& p, zWindow* w);
    zPopupMenu(const zPoint& p, zWindow* w, const zResId& id);
    ~zPopupMenu() override;
    int go();
    int go(const zPoint& p);

private:
    void place(const zPoint& p);
};

extern zPopupMenu* ___anyPopupMenu;
