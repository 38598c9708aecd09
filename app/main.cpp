#include <optional>

#include "app/MainWindow.h"
#include "kit/application/Application.h"
#include "kit/application/CommandLine.h"

int main(int argc, char** argv) {
    const kit::ProgramInfo info{
        .name = "quillet",
        .version = QUILLET_VERSION,
        .description = "Five in a row for two players, at one mouse or over the network.",
        .desktopId = "org.example.quillet",
    };
    if (const std::optional<int> status = kit::ReadCommandLine(argc, argv, info))
        return *status;
    BApplication application("application/x-vnd.Be-Quillet");
    // Once shown, the window belongs to the toolkit and deletes itself when it quits.
    new MainWindow();
    application.Run();
    return 0;
}
