#pragma once
// A single-line edit whose every keystroke, deletion and paste goes through a
// formatter, which decides the new text and where the caret goes.
#include "ZKCString.h"
#include "zEdit.h"
#include "zGeometry.h"

// The answers of zFormatter::addChars.
enum { zFmtReject = 0, zFmtAccept = 1, zFmtRewritten = 2 };

class zFormatter {
public:
    unsigned long flags;

    explicit zFormatter(unsigned long f = 0) : flags(f) {}
    virtual ~zFormatter() {}
    // Applies typed (count 1), deleted (backspace with count 2: forward or the
    // selection) or pasted characters to text with the selection sel.
    virtual int addChars(ZKCString& text, const char* chars, int count, zRange& sel) = 0;
    // 0 when the text is not acceptable; sel then names the offending place.
    virtual int checkChars(ZKCString& text, zRange& sel) = 0;
    // The displayed text as the raw value.
    virtual int getChars(ZKCString&, unsigned long) { return 1; }
    virtual int firstWritablePosition(const char*) { return 0; }
};

class zFormattedEdit : public zEditLine {
public:
    int handled = 0;  // keyDown took the key: the character message is swallowed
    unsigned long editFlags;
    zFormatter* formatter;  // owned

    // Takes over a dialog's control.
    zFormattedEdit(zWindow* parent, int id, zFormatter* formatter, unsigned long flags);
    zFormattedEdit(zWindow* parent, zSizer* sizer, unsigned long style, zFormatter* formatter, unsigned long flags);
    ~zFormattedEdit() override;

    int ch(zKeyEvt* e) override;
    int checkData() override;

    int keyDown(zEvent* e);
    int cut(zEvent* e);
    int paste(zEvent* e);
    void pasteStr(const ZKCString& text);
    ZKCString getRawText(unsigned long flags);
    // The old formatter is not destroyed.
    void setFormatter(zFormatter* f) { formatter = f; }
    void show(const ZKCString& text, const zRange& sel);
    zRange currentSelection() const;

protected:
    void formatInit();
    // The Delete key (forward, or the selection); copies first when asked.
    int deleteKey(bool copyFirst);
    void copySelection();
};
