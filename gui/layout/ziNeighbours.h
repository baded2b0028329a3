#pragma once
// What the window core needs of sizers, fonts, colours, icons and resource ids,
// gathered in one place.
#include "QvWindows.h"

class zSizer;
class zFont;
struct zColor;
class zIcon;
class zResId;
struct zRect;
class zWindow;
class zSizeEvt;

zSizer* ziSizerNew(zSizer* parent);
void ziSizerDelete(zSizer* s);
void ziSizerOwn(zSizer* s, zWindow* owner);
void ziSizerSetDim(zSizer* s, int w, int h);
void ziSizerSetPos(zSizer* s, int x, int y);
bool ziSizerGet(zSizer* s, int& x, int& y, int& w, int& h);
void ziSizerResize(zSizer* s, zWindow* w, zSizeEvt* e);
void ziSizerUpdate(zSizer* s, int left, int top, int right, int bottom);  // lays out, no move
void ziSizerRefresh(zSizer* s);  // size from the owner's client area, then lays out

HFONT ziFontHandle(zFont* f);
void ziFontDelete(zFont* f);
unsigned long ziColorValue(const zColor& c);  // the four bytes as one value
HICON ziIconTakeHandle(zIcon* icon);          // the icon gives up its handle

LPCSTR ziResName(const zResId& id);        // what the load functions take
const char* ziResModuleName(const zResId& id);
HMODULE ziResModuleHandle(const zResId& id);

void ziRectGet(const zRect& r, RECT& out);
void ziRectSet(zRect& r, const RECT& in);
