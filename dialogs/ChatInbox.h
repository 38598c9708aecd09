// ChatInbox: chat text on its way from the main window to the read window that shows it. The
// main window adds on its thread and wakes the read window only when no wake-up is pending yet;
// the read window takes everything at once on its own thread. Neither waits for the other beyond
// the inbox's mutex, and however fast a peer sends, the inbox holds at most kKeptBytes: older
// text than the read window would keep is dropped here already. Safe from any thread.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace chat {

// What a read window keeps of its text: at most its last kKeptBytes in at most kKeptLines lines.
// Past either, the oldest lines go, down to three quarters of both (so that the text is not cut
// again with every chat), and kDroppedNotice stands first in their place.
constexpr std::size_t kKeptBytes = 256 * 1024;
constexpr std::size_t kKeptLines = 4096;
constexpr std::string_view kDroppedNotice = "[Older text was dropped.]\n";

// The newest whole lines of text that fit in three quarters of both limits. A last line longer
// than that is cut at a character's start.
std::string_view NewestLines(std::string_view text);

class ChatInbox {
public:
    // Adds text at the end; true when the read window is to be woken (no wake-up is pending).
    bool Add(std::string_view text);

    struct Taken {
        std::string text;
        bool dropped;  // older text went before the read window took it
    };
    // Everything added since the last take; the next Add wakes the read window again.
    Taken Take();

private:
    std::mutex mutex;  // guards everything below
    std::string pending;
    bool dropped = false;
    bool wakePending = false;
};

}  // namespace chat
