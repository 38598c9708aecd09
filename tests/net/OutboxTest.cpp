#include "net/Outbox.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using protocol::Outbox;

// A socket that takes at most what the test allows for each send, and records every send.
struct FakeSocket {
    std::vector<std::string> sends;
    std::vector<std::optional<size_t>> takes;  // per send; past the end, everything

    Outbox::Send Send() {
        return [this](std::string_view bytes) -> std::optional<size_t> {
            const size_t call = sends.size();
            sends.emplace_back(bytes);
            if (call >= takes.size())
                return bytes.size();
            if (!takes[call])
                return std::nullopt;
            return std::min(*takes[call], bytes.size());
        };
    }
};

TEST(OutboxTest, EachSendCarriesOneMessageInOrder) {
    FakeSocket socket;
    Outbox outbox;
    // The socket is full: the chat goes out in part, the move waits behind it.
    socket.takes = {4, 0};
    EXPECT_EQ(outbox.Add("MSG hello", socket.Send()), Outbox::State::Waiting);
    EXPECT_EQ(outbox.Add("PUT 3 4\n", socket.Send()), Outbox::State::Waiting);
    EXPECT_EQ(outbox.Add("MSG bye", socket.Send()), Outbox::State::Waiting);
    EXPECT_EQ(outbox.Bytes(), 5u + 8u + 7u);
    EXPECT_EQ(outbox.Flush(socket.Send()), Outbox::State::Waiting);
    // Room again: the rest of the chat, then the move, then the next chat, each by itself.
    EXPECT_EQ(outbox.Flush(socket.Send()), Outbox::State::Sent);
    EXPECT_EQ(socket.sends,
              (std::vector<std::string>{"MSG hello", "hello", "hello", "PUT 3 4\n", "MSG bye"}));
    EXPECT_EQ(outbox.Bytes(), 0u);
    // With nothing waiting, a message goes out at once.
    EXPECT_EQ(outbox.Add("DIS\n", socket.Send()), Outbox::State::Sent);
    EXPECT_EQ(socket.sends.back(), "DIS\n");
}

TEST(OutboxTest, ABrokenConnectionAndWhatIsLeftAreReported) {
    FakeSocket socket;
    Outbox outbox;
    socket.takes = {2, std::nullopt};
    EXPECT_EQ(outbox.Add("MSG one", socket.Send()), Outbox::State::Waiting);
    EXPECT_EQ(outbox.Add("MSG two", socket.Send()), Outbox::State::Waiting);
    EXPECT_EQ(outbox.Flush(socket.Send()), Outbox::State::Broken);
    // The first message went out in part: neither arrived whole.
    EXPECT_EQ(outbox.Clear(), 2u);
    EXPECT_TRUE(outbox.Empty());
    // A message the broken connection refused at once is not kept: its sender was told.
    socket.takes.push_back(std::nullopt);
    EXPECT_EQ(outbox.Add("MSG three", socket.Send()), Outbox::State::Broken);
    EXPECT_TRUE(outbox.Empty());
}

}  // namespace
