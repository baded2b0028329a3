#pragma once
// A print job run from the message loop's idle time: go prints the first
// page, then each idle poll prints the next page (or band) until the pane
// has no more, collated copies start again from the first page, and the job
// ends the document, cleans up and deletes itself. The spooler's abort
// procedure only records a cancel; the job acts on it after the GDI call
// that called it, so the display and pane are never freed under that call.
// One job is current at a time. GUI thread only.
#include "QvWindows.h"

#include "ZKCString.h"
#include "zWindow.h"

class zPane;
class zPrinterDisplay;
class zPrJobDlg;
struct zRect;

class zPrintJob : public zEvH {
public:
    zPrintJob(zPane* pane, zPrinterDisplay* display, zPrJobDlg* dialog);
    zPrintJob(zPrinterDisplay* display, zPrJobDlg* dialog);
    ~zPrintJob() override;

    void setJobName(const char* name) { name_ = name; }
    const ZKCString& jobName() const { return name_; }
    // Starts the document and prints the first page; with modal set, runs the
    // progress dialog until the job ends. 0 when the job ended at once.
    int go(int modal);
    // The idle task: nonzero once the job has finished (and deleted itself).
    int poll();
    // ABORTDOC, then cleanup.
    void abort(int deleteDialog);
    // Tells the pane, deletes the display, shuts the dialog (deleting it
    // when asked) and lets go of everything; runs once.
    void cleanup(int deleteDialog);

    // What the abort procedure does: the job stops after the current call.
    void requestCancel() { cancelled_ = 1; }
    static zPrintJob* current();

    zPrinterDisplay* display() const { return display_; }
    int currentPage() const { return page_; }

private:
    // Ends the job when the spooler asked or the call failed; true when ended.
    bool ended(int gdiResult = 1);
    bool printPage(zRect* area);
    int finish();

    zPrinterDisplay* display_;
    zPane* pane_;
    ZKCString name_;
    zPrJobDlg* dialog_;
    int banding_ = 0;  // nothing sets it: drivers band for themselves
    int band_ = 0;
    int page_;
    int copiesLeft_ = 1;
    int cancelled_ = 0;
    int cleaned_ = 0;
};

// The abort procedure given to the printer context.
BOOL CALLBACK PrJobAbortHook(HDC context, int code);
