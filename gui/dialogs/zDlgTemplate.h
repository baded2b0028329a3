#pragma once
// Reads DIALOG resources into framework controls; converts dialog units to pixels.
#include "QvWindows.h"

#include <cstddef>

#include "ZKCString.h"
#include "zGeometry.h"
#include "zRegion.h"
#include "zResId.h"

class zWindow;
class zChildWin;
class zSizer;
class zFont;
class zDisplay;
class zDialogFrame;

// Dialog units on a display (or the system's dialog base units) as pixels.
class zDialogUnit : public zLogMeasure {
public:
    zDialogUnit() {}
    zDialogUnit(int x, int y, zDisplay* d);
    zDialogUnit(int x, int y, zFont* f);
    void setLogX(int value, zDisplay* d) override;
    void setLogY(int value, zDisplay* d) override;

    // The arithmetic, apart from any device.
    static int averageWidth(int measureExtent);      // extent of the 52-letter string
    static int toPixelsX(int avgWidth, int units);
    static int toPixelsY(int charHeight, int units);
    static const char* measureString() { return "ABCDEFGHIJLKMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"; }

private:
    int avg_ = 0, height_ = 0;
    bool measured_ = false;
    void measure(zDisplay* d);
};

typedef zChildWin* (*zControlBuilder)(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id);

// A control class of the framework that dialog templates may name.
class zControlType {
public:
    zControlType(const char* name, zControlBuilder builder);
    ~zControlType();
    zControlType(const zControlType&) = delete;
    zControlType& operator=(const zControlType&) = delete;

    const char* name() const { return name_; }
    zChildWin* buildNew(zWindow* parent, zSizer* sizer, unsigned long style, const char* text, int id) const;
    // First registered type of that name, case ignored.
    static zControlType* find(const char* name);

private:
    const char* name_;
    zControlBuilder builder_;
};

class zControlTypeDlist : public zDblList {};
extern zControlTypeDlist* _zctd;

class ziDialogReader {
public:
    int status = 1;  // 0: the template was read and may be used
    const unsigned char* readPos = nullptr;
    zResId menuRes{0};
    int itemCount = 0;
    zWindow* window = nullptr;
    int left = 0, top = 0, right = 0, bottom = 0;
    zFont* font = nullptr;
    const unsigned char* tmpl = nullptr;
    HGLOBAL resHandle = 0;
    HMODULE module = 0;
    int defButton = 0xFFFF;
    zResId resource;
    ZKCString title;
    int hasMenu = 0;
    unsigned long style = 0;

    ziDialogReader(zWindow* w, const zResId& res);
    ~ziDialogReader();
    ziDialogReader(const ziDialogReader&) = delete;
    ziDialogReader& operator=(const ziDialogReader&) = delete;

    // Reads the header again for another target window (a page takes over a
    // definition's reader); status, caption, font and style follow the new read.
    void decodeHeader(zWindow* target);
    void setSize(zSizer* s);
    int createChildren();  // the number of items that made an object
    zFont* takeFont();     // the frame takes over a font the template made
    int fontFromTemplate() const { return ownsFont_; }

private:
    const unsigned char* end_ = nullptr;
    bool loadedByName_ = false;
    int ownsFont_ = 0;
    bool overrun_ = false;

    int getResource();
    void freeResource();
    void decodeHeader();
    int decodeKids();
    // The predefined window classes a template names by atom.
    enum { AtomButton = 0x80, AtomEdit = 0x81, AtomStatic = 0x82, AtomListBox = 0x83, AtomScrollBar = 0x84, AtomComboBox = 0x85 };
    bool createBaseTypes(const char* cls, int atom, const ZKCString& text, int id, const zRect& r, unsigned long st);

    void adjustAlign();
    unsigned readWord();
    unsigned long readDword();
    ZKCString readString(size_t limit);  // up to the 0x0000 word, whatever its length
    void skipString() { readString(0); }
};
