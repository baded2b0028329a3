#include "ProgressDlg.h"

#include "DialogBases.h"
#include "zControl.h"
#include "zResId.h"

namespace {
const int PROGRESS_DIALOG = 1052;
const int PROGRESS_TEXT = 2020;
}  // namespace

PROGRESSDLG::PROGRESSDLG(zWindow* parent, const char* caption, const char* text, int v, BBOOL display)
    : zDialogFrame(parent, zResId(PROGRESS_DIALOG)), value(v), reserved(0), shown(FALSE), owner(parent),
      textControl(new zStaticText(this, PROGRESS_TEXT)) {
    if (caption) zFrameWin::caption(caption);
    if (text) textControl->text(text);
    if (display) Display();
}

PROGRESSDLG::~PROGRESSDLG() {
    if (owner && owner->hwnd && IsWindow(owner->hwnd)) EnableWindow(owner->hwnd, TRUE);
}

void PROGRESSDLG::Display() {
    CenterDialog(this);
    shown = TRUE;
    show();
    modal();
}

void PROGRESSDLG::UpdateProgress(const char* text, int) {
    if (text) textControl->text(text);
}

void PROGRESSDLG::Close(BBOOL destroy) {
    if (shown) {
        shown = FALSE;
        if (destroy) stateFlags |= zWinDeleteOnDestroy;
        shutdown();
    } else if (destroy) {
        delete this;
    }
}
