// GUI test programs: one application object on the main thread, which is the GUI thread; tests
// run there and let the GUI work while they wait.
#include <gtest/gtest.h>

#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "tests/TestSupport.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    BApplication application("application/x-vnd.Quillet-Tests");
    testing_support::WaitPump() = [] { kit::qt::inspect::ProcessEvents(); };
    return RUN_ALL_TESTS();
}
