#include "engine/EngineClient.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using engine::EngineClient;
using std::chrono::milliseconds;

namespace {

const EngineClient::Clock::time_point kStart{};

TEST(EngineClientTest, AsksEachMoveAsThePositionNeeds) {
    EngineClient client("pbrain-x", {});
    EXPECT_EQ(client.Open(kStart),
              "START 15\r\nINFO timeout_turn 5000\r\nINFO timeout_match 0\r\n"
              "INFO max_memory 536870912\r\nINFO rule 0\r\nABOUT\r\n");
    client.Feed("DEBUG loading\nOK\r\nERROR max_memory\nname=\"Embryo\", version=\"1\"\r\n",
                kStart);
    EXPECT_EQ(client.Name(), "Embryo");

    struct Step {
        std::vector<EngineClient::Stone> stones;
        const char* asked;
        const char* answer;
        std::pair<int, int> move;
    };
    const Step steps[] = {
        {{}, "BEGIN\r\n", "MESSAGE depth 3\nDEBUG x\n7,7\n", {7, 7}},
        {{{7, 7, true}, {8, 8, false}}, "TURN 8,8\r\n", "6,6\r", {6, 6}},
        // A new game the user opened: the engine is told the whole position.
        {{{0, 0, false}}, "BOARD\r\n0,0,2\r\nDONE\r\n", "UNKNOWN x\n1,1\n", {1, 1}},
        // A new game the engine opens.
        {{}, "START 15\r\nBEGIN\r\n", "OK\n5,5\n", {5, 5}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.asked);
        EXPECT_EQ(client.AskMove(step.stones, kStart), step.asked);
        EXPECT_FALSE(client.TakeMove());
        client.Feed(step.answer, kStart);
        const auto move = client.TakeMove();
        ASSERT_TRUE(move);
        EXPECT_EQ(std::pair(move->x, move->y), step.move);
    }
    EXPECT_EQ(client.Message(), "depth 3");
    EXPECT_EQ(client.Messages(), 1);

    EXPECT_EQ(client.Fault(), "");
}

TEST(EngineClientTest, EachFaultNamesTheEngineAndWhatItDid) {
    // MESSAGE lines, more than an engine may write without answering.
    std::string flood;
    while (flood.size() <= EngineClient::kFloodBytes)
        flood += "MESSAGE " + std::string(92, 'x') + "\n";
    using namespace std::chrono_literals;
    struct Case {
        std::string output;   // to the move asked, after START's OK, but for the first few
        std::string fault;    // none when empty
        bool moved = false;   // a good move came first
        int ended = 0;        // then the engine ended: its exit status, or minus the signal
        milliseconds late{};  // then the clock: an answer may take its time and the grace
    } const cases[] = {
        // START may take longer than a move: engines load their tables then.
        {"", "", false, 0, EngineClient::kStartTime + 50ms},
        {"", "did not answer START within 30050 ms", false, 0, EngineClient::kStartTime + 51ms},
        {"OK\nUNKNOWN\n", "", false, 0, 150ms},
        {"OK\nUNKNOWN\n", "did not answer with a move within 150 ms", false, 0, 151ms},
        {"ERROR no such board\n", "refused to start: \"ERROR no such board\""},
        {"", "could not be started (exit status 127)", false, 127},
        {"OK\nUNKNOWN\n", "crashed (signal 11)", false, -11},
        {"OK\nUNKNOWN\nseven, seven\n", "wrote \"seven, seven\" where a move was expected"},
        {"OK\nUNKNOWN\n15,3\n", "played outside the board (15,3)"},
        {"OK\nUNKNOWN\n8,8\n", "played on an occupied cell (8,8)"},
        {"OK\nUNKNOWN\n1,1\n2,2\n", "wrote a line nobody asked for: \"2,2\"", true},
        {"OK\nUNKNOWN\n" + std::string(EngineClient::kMaxLine + 1, '7'),
         "flooded its output without answering"},
        {"OK\nUNKNOWN\n" + flood, "flooded its output without answering"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.fault << " at " << c.late.count() << " ms");
        EngineClient client("pbrain-x", {.turn = 100ms, .grace = 50ms});
        client.Open(kStart);
        client.AskMove({{8, 8, false}}, kStart);
        client.Feed(c.output, kStart);
        if (c.ended != 0)
            client.Ended(c.ended > 0, std::abs(c.ended));
        client.Tick(kStart + c.late);
        EXPECT_EQ(client.Fault(), c.fault.empty() ? "" : "The engine pbrain-x " + c.fault + ".");
        EXPECT_EQ(client.TakeMove().has_value(), c.moved);
    }
}

}  // namespace
