// GUI test programs: one application object on the main thread, which is the GUI thread; tests
// run there and let the GUI work while they wait.
#include <gtest/gtest.h>

#include <cstdio>

#include "kit/application/Application.h"
#include "kit/qt/Inspect.h"
#include "tests/TestSupport.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    BApplication application("application/x-vnd.Quillet-Tests");
    testing_support::WaitPump() = [] { kit::qt::inspect::ProcessEvents(); };
    int result = RUN_ALL_TESTS();
    // A window's thread still deleting its views would race the GUI's end: the application
    // waits only for windows that have left it.
    if (!testing_support::WaitUntil([] { return be_app->CountWindows() == 0; })) {
        std::fprintf(stderr, "%d windows were still open when the tests ended\n",
                     static_cast<int>(be_app->CountWindows()));
        result = 1;
    }
    return result;
}
