#include "net/Outbox.h"

#include <utility>

namespace protocol {

Outbox::State Outbox::Add(std::string message, const Send& send) {
    if (message.empty())
        return fMessages.empty() ? State::Sent : State::Waiting;
    fBytes += message.size();
    fMessages.push_back(std::move(message));
    if (fMessages.size() > 1)
        return State::Waiting;
    const State state = Flush(send);
    if (state == State::Broken && fSentOfFirst == 0)
        Clear();
    return state;
}

Outbox::State Outbox::Flush(const Send& send) {
    while (!fMessages.empty()) {
        const std::string_view rest = std::string_view(fMessages.front()).substr(fSentOfFirst);
        const std::optional<std::size_t> taken = send(rest);
        if (!taken)
            return State::Broken;
        fSentOfFirst += *taken;
        fBytes -= *taken;
        if (*taken < rest.size())
            return State::Waiting;
        fMessages.pop_front();
        fSentOfFirst = 0;
    }
    return State::Sent;
}

std::size_t Outbox::Clear() {
    const std::size_t dropped = fMessages.size();
    fMessages.clear();
    fSentOfFirst = 0;
    fBytes = 0;
    return dropped;
}

}  // namespace protocol
