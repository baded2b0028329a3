#include "zPrJobDlg.h"

#include <cstdio>

#include "zButton.h"
#include "zPrintJob.h"

zPrJobDlg::zPrJobDlg(zWindow* parent, const zResId& res) : zDialogFrame(parent, res) {}

zDefPrJobDlg::zDefPrJobDlg(zWindow* parent, const zResId& res) : zPrJobDlg(parent, res) {
    show();
    auto* cancel = new zDefPushButton(this, zPrJobCancelId);
    cancel->setNotifyClicked(this, static_cast<NotifyProc>(&zDefPrJobDlg::doCancel));
    band_ = new zStaticText(this, zPrJobBandId);
    page_ = new zStaticText(this, zPrJobPageId);
    band_->show();
    page_->show();
}

void zDefPrJobDlg::setBand(int n) {
    char text[32];
    std::snprintf(text, sizeof text, "Band #%d", n);
    band_->text(text);
}

void zDefPrJobDlg::setPage(int n) {
    char text[32];
    std::snprintf(text, sizeof text, "Page #%d", n);
    page_->text(text);
}

int zDefPrJobDlg::doCancel(zEvent*) {
    // The job's cleanup shuts the dialog; a second shutdown would end an outer loop too.
    if (job_)
        job_->abort(0);
    else
        shutdown();
    return 1;
}
