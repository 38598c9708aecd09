#include <iostream>
#include <optional>
#include <string_view>

#include "app/MainWindow.h"
#include "engine/EngineProtocol.h"
#include "kit/application/Application.h"
#include "kit/application/CommandLine.h"

int main(int argc, char** argv) {
    const kit::ProgramInfo info{
        .name = "quillet",
        .displayName = "Quillet",
        .version = QUILLET_VERSION,
        .description = "Five in a row for two players, at one mouse or over the network.",
        .desktopId = "org.example.quillet",
        .ownOptions = {{"engine",
                        "Plays as a gomoku engine on standard input and output (the "
                        "tournament protocol), without a window."}},
    };
    // The engine needs no display, so it is started before anything of the toolkit is made.
    if (argc == 2 && std::string_view(argv[1]) == "--engine") {
        engine::EngineProtocol protocol(std::cout, QUILLET_VERSION);
        protocol.Run(std::cin);
        return 0;
    }
    if (const std::optional<int> status = kit::ReadCommandLine(argc, argv, info))
        return *status;
    BApplication application("application/x-vnd.Be-Quillet");
    // Once shown, the window belongs to the toolkit and deletes itself when it quits.
    new MainWindow();
    application.Run();
    return 0;
}
