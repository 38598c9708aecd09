#include "engine/Engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace engine;
using namespace std::chrono_literals;
using Cells = std::vector<Move>;
using enum Level;

constexpr Level kLevels[] = {Easy, Medium, Hard};

std::string Text(const Move& m) {
    return std::to_string(m.column) + "," + std::to_string(m.row);
}

// Cells written "column,row column,row ...".
Cells Parse(const char* text) {
    Cells cells;
    std::istringstream in(text);
    Move m;
    for (char comma; in >> m.column >> comma >> m.row;)
        cells.push_back(m);
    return cells;
}

// A position (X's stones, O's; X to move), the lowest level that must answer it, the answers.
struct Case {
    const char* what;
    Level from;
    const char* x;
    const char* o;
    const char* answers;
};

const Case kCases[] = {
    // Its own five comes first, even with an open four of O's on the board.
    {"five across", Easy, "4,8 5,8 6,8 7,8", "3,8 4,2 5,2 6,2 7,2", "8,8"},
    {"five down at the edge", Easy, "1,1 1,2 1,3 1,4", "5,5 6,6 9,9", "1,5"},
    {"five with a gap", Easy, "10,10 11,11 13,13 14,14", "3,3 3,4 3,5", "12,12"},
    {"five rising", Easy, "15,1 14,2 13,3 12,4", "8,8 8,9", "11,5"},
    {"block a four", Easy, "8,8 9,9 3,5", "4,5 5,5 6,5 7,5", "8,5"},
    {"block a four with a gap", Easy, "8,8 9,9 12,12", "3,10 4,10 6,10 7,10", "5,10"},
    {"block a four down", Easy, "8,8 9,9 12,12", "2,1 2,2 2,3 2,4", "2,5"},
    // An open four cannot be stopped, but it is still met at one of its ends.
    {"meet an open four", Easy, "8,8 9,9 12,3", "4,12 5,12 6,12 7,12", "3,12 8,12"},
    // Wins by force. By fours: X plays (5,8), O must block at (5,9), and (6,8) makes two fours;
    // (6,8) first wins the same way. By threes: (8,8) makes two open threes, and X has no four.
    {"win by fours", Medium, "5,5 5,6 5,7 7,8 8,8 6,9 6,10 6,11", "5,4 9,8 6,12 8,9 12,3 3,13",
     "5,8 6,8"},
    {"win by threes", Hard, "6,8 7,8 8,10 8,11", "12,3 13,4 3,13", "8,8"},
};

TEST(EngineTest, PlaysWhatThePositionNeedsAtEveryLevel) {
    for (const Case& c : kCases) {
        for (Level level : kLevels) {
            // Easy's slips come from its seed: several seeds, none may slip here.
            for (uint64_t seed = 1; level >= c.from && seed <= (level == Easy ? 10u : 2u); ++seed) {
                SCOPED_TRACE(testing::Message()
                             << c.what << " at level " << int(level) << " seed " << seed);
                Engine engine(level, seed);
                for (const auto& [cells, side] : {std::pair{c.x, Side::First}, {c.o, Side::Second}})
                    for (const Move& m : Parse(cells))
                        ASSERT_TRUE(engine.Put(m.column, m.row, side)) << Text(m);
                const Move move = engine.Think({.time = 2s});
                EXPECT_TRUE(std::ranges::count(Parse(c.answers), move)) << "played " << Text(move);
                EXPECT_TRUE(engine.LastInfo().forced);
                if (c.from == Easy || level != Hard || seed > 1)
                    continue;
                // A win is real: Hard against Hard from there, X wins within a few moves.
                for (int ply = 0; ply < 20 && engine.Winner() == 0; ++ply) {
                    const Move next = ply == 0 ? move : engine.Think({.time = 300ms});
                    ASSERT_TRUE(engine.Play(next.column, next.row)) << Text(next);
                }
                EXPECT_EQ(engine.Winner(), 1);
            }
        }
    }
}

// Games of the engine against itself from stones in three corners, twice with one seed at each
// level: every move is on an empty cell of the board (Play refuses others), the game ends with a
// winner or a full board, no move comes after that, and the two games are the same.
TEST(EngineTest, PlaysEmptyCellsToTheEndAndTheSameGameForTheSameSeed) {
    for (Level level : kLevels) {
        SCOPED_TRACE(testing::Message() << "level " << int(level));
        std::vector<Move> games[2];
        for (auto& game : games) {
            Engine engine(level, 42);
            for (const Move& m : Parse("1,1 15,15 1,15"))
                ASSERT_TRUE(engine.Play(m.column, m.row));
            for (int ply = 0; ply < 225 && engine.Winner() == 0 && !engine.Full(); ++ply) {
                const Move move = engine.Think({.time = 60s, .depth = 2, .nodes = 1000});
                ASSERT_TRUE(engine.Play(move.column, move.row)) << "played on " << Text(move);
                game.push_back(move);
            }
            EXPECT_TRUE(engine.Winner() != 0 || engine.Full());
            EXPECT_FALSE(engine.Think({.depth = 1})) << "a move after the game ended";
        }
        EXPECT_EQ(games[0], games[1]);
    }
}

// In a middle game, Think keeps to its time, and to its stop flag (at once, after a few positions
// where its own limits would take a second), with a move on an empty cell either way.
TEST(EngineTest, AnswersWithinItsTimeOrWhenStopped) {
    Engine engine;
    ASSERT_TRUE(engine.Play(8, 8));
    for (int ply = 0; ply < 20; ++ply) {
        const Move move = engine.Think({.time = 60s, .depth = 2, .nodes = 2000});
        ASSERT_TRUE(engine.Play(move.column, move.row));
    }
    auto answer = std::async(std::launch::async, [&] { return engine.Think({.time = 50ms}); });
    ASSERT_EQ(answer.wait_for(20s), std::future_status::ready);
    Move move = answer.get();
    EXPECT_TRUE(move && engine.At(move.column, move.row) == 0) << Text(move);
    const std::atomic<bool> stop{true};
    move = engine.Think({.time = 60s}, &stop);
    EXPECT_TRUE(move && engine.At(move.column, move.row) == 0) << Text(move);
    EXPECT_LT(engine.LastInfo().nodes, 1000u) << "the search ignored its stop";
}

}  // namespace
