#include "dialogs/ChatInbox.h"

#include <algorithm>
#include <utility>

namespace chat {

std::string_view NewestLines(std::string_view text) {
    constexpr std::size_t kBytes = kKeptBytes / 4 * 3;
    constexpr std::size_t kLines = kKeptLines / 4 * 3;
    std::size_t start = 0;
    if (text.size() > kBytes) {
        start = text.size() - kBytes;
        const std::size_t feed = text.find('\n', start - 1);
        if (feed != std::string_view::npos)
            start = feed + 1;
        else
            while (start < text.size() && (text[start] & 0xC0) == 0x80)
                ++start;
    }
    // The last line needs no line feed of its own.
    std::size_t lines = std::count(text.begin() + start, text.end(), '\n') + 1;
    for (; lines > kLines; --lines)
        start = text.find('\n', start) + 1;
    return text.substr(start);
}

bool ChatInbox::Add(std::string_view text) {
    std::lock_guard lock(mutex);
    pending.append(text);
    if (pending.size() > kKeptBytes) {
        pending.erase(0, pending.size() - NewestLines(pending).size());
        dropped = true;
    }
    return !std::exchange(wakePending, true);
}

ChatInbox::Taken ChatInbox::Take() {
    std::lock_guard lock(mutex);
    Taken taken{std::exchange(pending, {}), std::exchange(dropped, false)};
    wakePending = false;
    return taken;
}

}  // namespace chat
