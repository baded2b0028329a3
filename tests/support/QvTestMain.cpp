// Shared main of every test program: child cases first, then GoogleTest,
// with the message-box watcher running so no modal box can block a run.
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "MessageBoxWatcher.h"

int main(int argc, char** argv) {
    qvtest::StartMessageBoxWatcher();
    if (qvtest::DispatchChild(argc, argv)) return 0;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
