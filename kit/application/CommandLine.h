// The program's command line and the names it is known by on the desktop. Main thread only,
// before the application object is made; no display is needed.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kit {

struct ProgramInfo {
    std::string name;         // the command, as --help and --version show it; the X11 class
    std::string displayName;  // the desktop entry's Name, as notifications show it
    std::string version;      // what --version prints after the name
    std::string description;  // one line for --help
    // The desktop entry's file name without ".desktop", and the icon's name in the icon theme.
    // When the theme has no such icon, the window shows the PNGs the program embeds as
    // ":/icons/hicolor/<size>/apps/<desktopId>.png".
    std::string desktopId;
    // Options the program acts on itself before reading the command line, each alone on it:
    // the long name without dashes, and one line for --help.
    std::vector<std::pair<std::string, std::string>> ownOptions;
};

// Reads the command line: --help and --version print their text on standard output (--help
// lists info.ownOptions too), and an unknown option, an argument, or one of info.ownOptions
// among other arguments says so in one line on standard error. Returns the status the
// program exits with then (0 or 2), or nothing when the program goes on to start. Keeps info
// for the application object, which names its windows after it.
std::optional<int> ReadCommandLine(int argc, const char* const* argv, const ProgramInfo& info);

}  // namespace kit
