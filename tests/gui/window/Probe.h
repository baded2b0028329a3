#pragma once
// A frame that records which of its operations ran, and a handler target that records calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestApp.h"
#include "zFrameWin.h"
#include "zNotify.h"

namespace wintest {

using Log = std::vector<std::string>;

class ProbeFrame : public zAppFrame {
public:
    Log* log;
    int killAnswer = 0;
    std::vector<UINT> dispatched;
    int scrolls = 0;
    int sizes = 0;
    int commands = 0;
    unsigned lastCommand = 0;

    explicit ProbeFrame(Log* l, unsigned long style = WS_OVERLAPPEDWINDOW)
        : zAppFrame(nullptr, nullptr, style, "probe", 0), log(l) {}

    int dispatch(zEvent* e) override {
        dispatched.push_back(e->msg);
        return zAppFrame::dispatch(e);
    }
    int kill(zEvent*) override {
        log->push_back("kill");
        return killAnswer;
    }
    int scroll(zEvent*) override {
        ++scrolls;
        return 0;
    }
    int size(zSizeEvt* e) override {
        ++sizes;
        return zAppFrame::size(e);
    }
    int command(zCommandEvt* e) override {
        ++commands;
        lastCommand = e->cmd();
        log->push_back("command");
        return 0;
    }
    int mouseMove(zMouseMoveEvt*) override {
        log->push_back("mouseMove");
        return 0;
    }
    int sawDispatch(UINT m) const {
        int n = 0;
        for (UINT d : dispatched) n += d == m;
        return n;
    }
};

class Recorder : public zEvH {
public:
    Log* log;
    std::string name;
    int answer;
    zEvent last;
    Recorder(Log* l, std::string n, int a = 0) : log(l), name(std::move(n)), answer(a) {}
    int on(zEvent* e) {
        last = *e;
        log->push_back(name);
        return answer;
    }
    int onCmd(zCommandEvt* e) {
        last = *e;
        log->push_back(name + ":" + std::to_string(e->cmd()));
        return answer;
    }
};

inline NotifyProc RecOn() { return zHandlerOf(&Recorder::on); }
inline NotifyProc RecCmd() { return zHandlerOf(&Recorder::onCmd); }

// A probe frame that is not the application's main window, made and deleted per test.
class ProbeFixture : public ::testing::Test {
protected:
    Log log;
    ProbeFrame* frame = nullptr;
    void SetUp() override {
        App()->mainFrame = nullptr;
        frame = new ProbeFrame(&log);
        App()->mainFrame = nullptr;
        ASSERT_TRUE(frame->hwnd);
    }
    void TearDown() override {
        delete frame;
        Pump();
    }
};

}  // namespace wintest
