#include <gtest/gtest.h>
#include "QvWindows.h"

#include "zGeometry.h"
#include "zWindow.h"

namespace {
struct Popup : zWindow {
    Popup(int x, int y) { hwnd = CreateWindowA("STATIC", "", WS_POPUP | WS_BORDER, x, y, 50, 50, 0, 0, GetModuleHandleA(0), 0); }
};

POINT Screen(zWindow* w, POINT p) {
    if (w) ClientToScreen(w->windowHandle(), &p);
    return p;
}
}  // namespace

TEST(zPoint, TranslateBetweenWindowsAndScreen) {
    Popup a(100, 50), b(300, 20);
    ASSERT_TRUE(IsWindow(a.windowHandle()));
    zWindow* wins[] = {&a, &b, nullptr};
    for (zWindow* from : wins) {
        for (zWindow* to : wins) {
            zPoint p(7, 9);
            p.translate(from, to);
            // Expected from the system's own conversions: through the screen.
            POINT s = Screen(from, POINT{7, 9});
            if (to) ScreenToClient(to->windowHandle(), &s);
            if (from == to) s = POINT{7, 9};
            EXPECT_EQ(zPoint(s.x, s.y), p);
        }
    }
    zPoint q(0, 0);
    q.translate(&a, nullptr);
    EXPECT_NE(zPoint(0, 0), q);  // the window is not at the screen origin
}
