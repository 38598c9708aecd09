// Outbox: the messages a link has yet to send, oldest first. Each send hands the socket the rest
// of one message only, so two messages never go out joined in one send: a peer that takes what
// one read returns for one message still reads them apart. Plain C++; a value, guarded by its
// owner's lock.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

class Outbox {
public:
    // Gives the socket bytes: how many it took (0 when it takes none now), or nothing when the
    // connection is broken.
    using Send = std::function<std::optional<std::size_t>(std::string_view)>;
    enum class State { Sent, Waiting, Broken };

    // Queues message after those waiting and sends what the socket takes now. When the
    // connection breaks on it, the message is not kept: the caller knows it was not sent.
    State Add(std::string message, const Send& send);
    // Sends what waits, message by message, as far as the socket takes it.
    State Flush(const Send& send);
    // Drops what waits; returns how many messages did not go out whole.
    std::size_t Clear();

    bool Empty() const { return fMessages.empty(); }
    // Bytes still to send.
    std::size_t Bytes() const { return fBytes; }

private:
    std::deque<std::string> fMessages;
    std::size_t fSentOfFirst = 0;  // bytes of the first message already sent
    std::size_t fBytes = 0;
};

}  // namespace protocol
