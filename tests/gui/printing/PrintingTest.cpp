#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "DlgKit.h"
#include "PrinterKit.h"
#include "zApp.h"
#include "zBitmap.h"
#include "zButton.h"
#include "zFont.h"
#include "zFrameWin.h"
#include "zPane.h"
#include "zPrJobDlg.h"
#include "zPrintJob.h"
#include "zPrinterDisplay.h"
#include "zPrinterSpec.h"
#include "zResId.h"
#include "zSystemInfo.h"

#include <dlgs.h>  // after windows.h, which it needs

namespace {

const int kProgressDialog = 300;

struct Output {
    std::string unix, win;
    Output() {
        unix = "/tmp/qvprint-" + std::to_string(GetCurrentProcessId()) + ".ps";
        win = printkit::WinPath(unix);
        DeleteFileA(win.c_str());
    }
    ~Output() { DeleteFileA(win.c_str()); }
    std::string text() const { return printkit::ReadFile(win); }
};

class PrintEnvironment : public ::testing::Environment {
public:
    void SetUp() override { installed = printkit::InstallTestPrinter(out.unix); }
    Output out;
    bool installed = false;
};
PrintEnvironment* env = static_cast<PrintEnvironment*>(::testing::AddGlobalTestEnvironment(new PrintEnvironment));

// A pane of a given number of pages that writes "Page n" on each.
class PagesPane : public zPane {
public:
    PagesPane(zWindow* parent, int pages) : zPane(parent, nullptr, 0, 7, 1), pages_(pages) {}
    int printSetup(zPrinterDisplay*, zPrintJob*) override { return ++setups; }
    void printCleanup(zPrinterDisplay*, zPrintJob*) override { ++cleanups; }
    int print(zPrinterDisplay* d, zRect*) override {
        ++printed;
        std::string s = "Page " + std::to_string(d->curPage);
        TextOutA(d->hdc(), 100, 100, s.c_str(), int(s.size()));
        if (onPrint) onPrint();
        return 1;
    }
    int morePages() override { return printedPage() < pages_; }
    int printedPage() const { return zPrintJob::current() ? zPrintJob::current()->currentPage() : 0; }

    int setups = 0, cleanups = 0, printed = 0;
    std::function<void()> onPrint;

private:
    int pages_;
};

// Counts its own end.
class CountedDisplay : public zPrinterDisplay {
public:
    explicit CountedDisplay(int* deleted) : deleted_(deleted) {}
    ~CountedDisplay() override { ++*deleted_; }

private:
    int* deleted_;
};

// The main frame while a case runs, so no dialog takes that place (a main
// frame's end stops the idle tasks and the loop); let go of before its end.
struct Frame {
    zAppFrame* frame;
    Frame() {
        frame = new zAppFrame(nullptr, nullptr, WS_POPUP, "printing", 0);
        _app->mainFrame = frame;
    }
    ~Frame() {
        _app->mainFrame = nullptr;
        delete frame;
    }
};

// Runs the loop until the job has ended; false when it never does.
bool RunUntilDone() {
    dlgkit::Watchdog dog(20000);
    while (zPrintJob::current() || (_app->tasks() && _app->tasks()->count())) {
        if (dog.fired()) return false;
        dlgkit::Pump();
        if (_app->tasks()) _app->tasks()->poll();
    }
    return true;
}

}  // namespace

TEST(PrinterSpec, LinesSplitByTable) {
    struct Case {
        const char* line;
        const char* device;
        const char* driver;
        const char* port;
    } cases[] = {
        {"Laser,winspool,LPT1:", "Laser", "winspool", "LPT1:"},
        {"Laser,  winspool,   LPT1:", "Laser", "winspool", "LPT1:"},
        {"Laser,winspool", "Laser", "winspool", nullptr},
        {"Laser", "Laser", nullptr, nullptr},
        {"A,b,c,d", "A", "b", "c,d"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.line);
        zPrinterSpec s(k.line);
        auto same = [](const char* want, const char* got) {
            return want ? got && std::string(want) == got : got == nullptr;
        };
        EXPECT_TRUE(same(k.device, s.device())) << (s.device() ? s.device() : "null");
        EXPECT_TRUE(same(k.driver, s.driver())) << (s.driver() ? s.driver() : "null");
        EXPECT_TRUE(same(k.port, s.port())) << (s.port() ? s.port() : "null");
    }
    std::string longLine = std::string(300, 'd') + "," + std::string(300, 'r') + "," + std::string(300, 'p');
    zPrinterSpec longSpec(longLine.c_str());
    EXPECT_EQ(std::string(300, 'p'), longSpec.port());

    zPrinterSpec deviceOnly("Laser");
    zPrinterDisplay noContext(&deviceOnly);
    EXPECT_EQ(nullptr, noContext.hdc());
}

TEST(PrinterSpec, DevicesListTheTestPrinter) {
    ASSERT_TRUE(env->installed);
    zSystemInfo info;
    ZKTPtrSlist<zPrinterSpec>* list = info.getPrinterList();
    ASSERT_NE(nullptr, list);
    bool found = false;
    ZKTPtrSlistIterator<zPrinterSpec> next(*list);
    while (zPrinterSpec* s = next())
        if (std::string(s->device()) == printkit::kPrinter) {
            found = true;
            EXPECT_STRCASEEQ("wineps.drv", s->driver());
            EXPECT_STREQ("LPT1:", s->port());
        }
    EXPECT_TRUE(found);
    info.releasePrinterList(list);

    zPrinterSpec def;
    EXPECT_STREQ(printkit::kPrinter, def.device());
}

TEST(Printing, APanePrintsPageByPageFromIdleTime) {
    ASSERT_TRUE(env->installed);
    struct Case {
        int copies, collate, pages;
    } cases[] = {{1, 0, 3}, {2, 1, 6}, {2, 0, 3}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.copies * 10 + k.collate);
        DeleteFileA(env->out.win.c_str());
        Frame f;
        PagesPane pane(f.frame, 3);
        auto* display = new zPrinterDisplay;
        ASSERT_NE(nullptr, display->hdc());
        display->copies = k.copies;
        display->collate = k.collate;
        auto* dlg = new zDefPrJobDlg(f.frame, zResId(kProgressDialog));
        auto* job = new zPrintJob(&pane, display, dlg);
        job->setJobName("Quorvane pages");
        ASSERT_TRUE(job->go(0));
        EXPECT_EQ(1, pane.printed);  // page 1 at once, the rest while idle
        std::string lastPage;
        pane.onPrint = [&] {
            char text[32] = {};
            GetDlgItemTextA(dlg->hwnd, zPrJobPageId, text, sizeof text);
            lastPage = text;
        };
        ASSERT_TRUE(RunUntilDone()) << pane.printed << " printed, tasks " << _app->tasks()->count();
        EXPECT_EQ(k.pages, pane.printed);
        EXPECT_EQ("Page #3", lastPage);
        EXPECT_EQ(1, pane.cleanups);
        std::string ps = env->out.text();
        EXPECT_EQ(k.pages, printkit::CountOf(ps, "%%Page:"));
        EXPECT_NE(std::string::npos, ps.find("%%Title: Quorvane pages"));
        dlgkit::Pump();
    }
}

TEST(Printing, AModalRunEndsWithTheJob) {
    ASSERT_TRUE(env->installed);
    Frame f;
    PagesPane pane(f.frame, 2);
    auto* dlg = new zDefPrJobDlg(f.frame, zResId(kProgressDialog));
    auto* job = new zPrintJob(&pane, new zPrinterDisplay, dlg);
    dlgkit::Watchdog dog(20000);
    job->go(1);
    EXPECT_FALSE(dog.fired());
    EXPECT_EQ(2, pane.printed);
    EXPECT_EQ(nullptr, zPrintJob::current());
    dlgkit::Pump();
}

TEST(Printing, CancelAndSpoolerErrorsEndTheJobOnce) {
    ASSERT_TRUE(env->installed);
    // The progress dialog's cancel button.
    {
        Frame f;
        PagesPane pane(f.frame, 5);
        int displays = 0;
        auto* dlg = new zDefPrJobDlg(f.frame, zResId(kProgressDialog));
        auto* job = new zPrintJob(&pane, new CountedDisplay(&displays), dlg);
        ASSERT_TRUE(job->go(0));
        SendMessageA(dlg->hwnd, WM_COMMAND, MAKEWPARAM(zPrJobCancelId, BN_CLICKED),
                     LPARAM(GetDlgItem(dlg->hwnd, zPrJobCancelId)));
        EXPECT_EQ(1, displays);
        EXPECT_EQ(1, pane.cleanups);
        EXPECT_FALSE(IsWindowVisible(dlg->hwnd));
        ASSERT_TRUE(RunUntilDone());
        EXPECT_EQ(1, pane.printed);
        delete dlg;
    }
    // The spooler reports an error while page 2 prints.
    {
        Frame f;
        PagesPane pane(f.frame, 5);
        int displays = 0;
        pane.onPrint = [&] {
            if (pane.printed == 2) PrJobAbortHook(nullptr, SP_ERROR);
        };
        auto* job = new zPrintJob(&pane, new CountedDisplay(&displays), nullptr);
        ASSERT_TRUE(job->go(0));
        ASSERT_TRUE(RunUntilDone());
        EXPECT_EQ(2, pane.printed);
        EXPECT_EQ(1, displays);
        EXPECT_EQ(1, pane.cleanups);
    }
    EXPECT_TRUE(PrJobAbortHook(nullptr, SP_ERROR));  // no job: go on
}

TEST(PrinterDisplay, VisibleAreaByTable) {
    ASSERT_TRUE(env->installed);
    zPrinterDisplay d;
    ASSERT_NE(nullptr, d.hdc());
    int w = d.pixWidth(), h = d.pixHeight();
    struct Case {
        zRect in;
        int move;
        zRect visible;
        POINT origin;
    } cases[] = {
        {zRect(10, 20, 110, 220), 0, zRect(10, 20, 110, 220), {0, 0}},
        {zRect(-5, -5, w + 50, h + 50), 0, zRect(0, 0, w, h), {0, 0}},
        {zRect(10, 20, 110, 220), 1, zRect(0, 0, 100, 200), {10, 20}},
    };
    for (const Case& k : cases) {
        d.adjustVisible(k.in, k.move);
        zRect r;
        d.getVisible(r);
        EXPECT_EQ(k.visible, r);
        POINT org;
        GetViewportOrgEx(d.hdc(), &org);
        EXPECT_EQ(k.origin.x, org.x);
        EXPECT_EQ(k.origin.y, org.y);
        d.resetVisible();
        d.getVisible(r);
        EXPECT_EQ(zRect(0, 0, w, h), r);
    }
}

TEST(PrinterDisplay, InformationAndBitmaps) {
    ASSERT_TRUE(env->installed);
    zPrinterDisplay d;
    zDisplayInfo info(&d);
    EXPECT_EQ(GetDeviceCaps(d.hdc(), HORZRES), info.pixWidth());
    zPrinterSpec deviceOnly("Laser");
    zPrinterDisplay none(&deviceOnly);
    zBitmap bmp(8, 8, 24);
    EXPECT_EQ(0, none.bitmap(&bmp, zPoint(0, 0)));
    EXPECT_EQ(1, d.bitmap(&bmp, zPoint(0, 0)));
}

namespace {

// What the print dialog's hook does once the dialog is built, before it shows
// (so the message-box watcher never presses OK first).
std::function<void(HWND)> g_dialogStep;

UINT_PTR CALLBACK PrintHook(HWND dlg, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG && g_dialogStep) g_dialogStep(dlg);
    return 0;
}

void Press(HWND dlg, int id) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dlg, id))); }

}  // namespace

TEST(PrinterDisplay, PrintDialogOkTakesItsChoicesCancelKeepsAll) {
    ASSERT_TRUE(env->installed);
    Frame f;
    zPrinterDisplay d;
    ASSERT_NE(nullptr, d.hdc());
    // First run: the watcher presses OK on the dialog as it opens.
    ASSERT_EQ(1, d.printerSetup());
    EXPECT_STREQ(printkit::kPrinter, d.deviceName().data());
    EXPECT_STREQ("LPT1:", d.portName().data());
    ASSERT_NE(nullptr, d.hdc()) << "the dialog's context";
    EXPECT_EQ(GetDeviceCaps(d.hdc(), HORZRES), d.pixWidth());

    PRINTDLGA* pd = ziPrintDialogRecord();
    pd->Flags |= PD_ENABLEPRINTHOOK;
    pd->lpfnPrintHook = PrintHook;
    g_dialogStep = [](HWND dlg) {
        SetDlgItemTextA(dlg, edt3, "3");
        CheckDlgButton(dlg, chx2, BST_CHECKED);
        Press(dlg, IDOK);
    };
    ASSERT_EQ(1, d.printerSetup());
    // A driver that makes copies itself gets them in its mode: the record then
    // says 1 copy, not collated, and the framework prints the pages once.
    EXPECT_EQ((int)pd->nCopies, d.copies);
    EXPECT_EQ((pd->Flags & PD_COLLATE) ? 1 : 0, d.collate);
    auto* mode = pd->hDevMode ? static_cast<DEVMODEA*>(GlobalLock(pd->hDevMode)) : nullptr;
    ASSERT_NE(nullptr, mode);
    EXPECT_EQ(3, mode->dmCopies) << "the copies typed into the dialog";
    EXPECT_EQ(DMCOLLATE_TRUE, mode->dmCollate);
    GlobalUnlock(pd->hDevMode);
    HDC context = d.hdc();
    ZKCString device = d.deviceName(), driver = d.driverName();
    int copies = d.copies, collate = d.collate;

    g_dialogStep = [](HWND dlg) {
        SetDlgItemTextA(dlg, edt3, "7");
        CheckDlgButton(dlg, chx2, BST_UNCHECKED);
        Press(dlg, IDCANCEL);
    };
    EXPECT_EQ(0, d.printerSetup());
    EXPECT_EQ(context, d.hdc());
    EXPECT_STREQ(device.data(), d.deviceName().data());
    EXPECT_STREQ(driver.data(), d.driverName().data());
    EXPECT_EQ(copies, d.copies);
    EXPECT_EQ(collate, d.collate);

    g_dialogStep = nullptr;
    pd->Flags &= ~PD_ENABLEPRINTHOOK;
    pd->lpfnPrintHook = nullptr;
}
