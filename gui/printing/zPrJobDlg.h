#pragma once
// The progress dialog of a print job: it shows the band and page being
// printed and lets the user cancel. zDefPrJobDlg fills a dialog resource that
// holds a cancel button (2) and static texts for the band (103) and page (102).
#include "zDialogFrame.h"

class zPrintJob;
class zStaticText;

class zPrJobDlg : public zDialogFrame {
public:
    zPrJobDlg(zWindow* parent, const zResId& res);

    // Added after zDialogFrame's operations.
    virtual void setBand(int n) {}
    virtual void setPage(int n) {}

    void setJob(zPrintJob* job) { job_ = job; }
    zPrintJob* job() const { return job_; }

protected:
    zPrintJob* job_ = nullptr;
};

enum { zPrJobCancelId = 2, zPrJobPageId = 102, zPrJobBandId = 103 };

class zDefPrJobDlg : public zPrJobDlg {
public:
    zDefPrJobDlg(zWindow* parent, const zResId& res);

    void setBand(int n) override;
    void setPage(int n) override;
    // Aborts the job (the dialog stays the caller's) and shuts the dialog down.
    int doCancel(zEvent* e);

private:
    zStaticText* band_;
    zStaticText* page_;
};
