#include "zPrintJob.h"

#include "zApp.h"
#include "zGeometry.h"
#include "zPane.h"
#include "zPrJobDlg.h"
#include "zPrinterDisplay.h"

namespace {
zPrintJob* currentJob = nullptr;
}

zPrintJob* zPrintJob::current() { return currentJob; }

BOOL CALLBACK PrJobAbortHook(HDC, int code) {
    if (code == 0 || !currentJob) return TRUE;
    currentJob->requestCancel();
    return FALSE;
}

zPrintJob::zPrintJob(zPane* pane, zPrinterDisplay* display, zPrJobDlg* dialog)
    : display_(display), pane_(pane), dialog_(dialog), page_(display ? display->curPage : 1) {
    currentJob = this;
    if (dialog_) dialog_->setJob(this);
}

zPrintJob::zPrintJob(zPrinterDisplay* display, zPrJobDlg* dialog) : zPrintJob(nullptr, display, dialog) {}

zPrintJob::~zPrintJob() {
    if (currentJob == this) currentJob = nullptr;
}

bool zPrintJob::ended(int gdiResult) {
    if (cleaned_) return true;
    if (!cancelled_ && gdiResult > 0) return false;
    abort(1);
    return true;
}

// StartPage, the pane's drawing, EndPage; false once the job has ended.
bool zPrintJob::printPage(zRect* area) {
    if (ended(display_->ziStartPage())) return false;
    zRect none;
    pane_->print(display_, area ? area : &none);
    if (ended()) return false;
    return !ended(display_->ziEndPage());
}

int zPrintJob::go(int modal) {
    if (!display_ || !pane_) return 0;
    display_->setAbortProc(PrJobAbortHook);
    copiesLeft_ = display_->copies;
    pane_->printSetup(display_, this);
    bool running = !ended(display_->ziStartJob(name_.data()));
    if (running) {
        if (dialog_) dialog_->setPage(page_);
        running = printPage(nullptr);
    }
    // Registered even when ended: the first poll then deletes the job.
    if (_app && _app->tasks()) _app->tasks()->add(this, static_cast<TaskProc>(&zPrintJob::poll));
    if (running && modal && dialog_) dialog_->modal();
    return running;
}

int zPrintJob::poll() {
    if (!pane_ || !display_) {
        delete this;
        return 1;
    }
    if (banding_) {
        RECT band = {0, 0, 0, 0};
        // A failing NEXTBAND counts as an empty band, so the page always ends.
        if (Escape(display_->hdc(), NEXTBAND, 0, nullptr, &band) > 0 && !IsRectEmpty(&band)) {
            if (dialog_) dialog_->setBand(band_);
            ++band_;
            zRect area(band.left, band.top, band.right, band.bottom);
            pane_->print(display_, &area);
            ended();
            return 0;
        }
    }
    if (pane_->morePages()) {
        display_->curPage = ++page_;
    } else if (display_->collate && --copiesLeft_ > 0) {
        display_->curPage = page_ = display_->firstPage;
    } else {
        return finish();
    }
    if (dialog_) dialog_->setPage(page_);
    printPage(nullptr);
    return 0;
}

int zPrintJob::finish() {
    display_->ziEndJob();
    cleanup(1);
    delete this;
    return 1;
}

void zPrintJob::abort(int deleteDialog) {
    if (display_ && !cleaned_) display_->ziAbortJob();
    cleanup(deleteDialog);
}

void zPrintJob::cleanup(int deleteDialog) {
    if (cleaned_) return;
    cleaned_ = 1;
    if (pane_) pane_->printCleanup(display_, this);
    delete display_;
    if (dialog_) {
        dialog_->setJob(nullptr);
        // Deleted from the message loop: its modal run may still be on the stack.
        if (deleteDialog) dialog_->stateFlags |= zWinDeleteOnDestroy;
        dialog_->shutdown();
    }
    if (currentJob == this) currentJob = nullptr;
    pane_ = nullptr;
    display_ = nullptr;
    dialog_ = nullptr;
}
