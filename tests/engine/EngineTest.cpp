#include "engine/Engine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

using engine::Engine;
using engine::Level;
using engine::Limits;
using engine::Move;
using engine::Side;
using Cells = std::vector<Move>;
using namespace std::chrono_literals;

constexpr Level kLevels[] = {Level::Easy, Level::Medium, Level::Hard};

std::string Name(Level level) {
    return level == Level::Easy ? "Easy" : level == Level::Medium ? "Medium" : "Hard";
}

// A position: the first side's stones (X), the second's (O), and the side to move.
struct Setup {
    std::string what;
    Cells x;
    Cells o;
    Side toMove = Side::First;
};

void Load(Engine& engine, const Setup& setup) {
    engine.NewGame();
    for (const Move& m : setup.x)
        ASSERT_TRUE(engine.Put(m.column, m.row, Side::First)) << m.column << "," << m.row;
    for (const Move& m : setup.o)
        ASSERT_TRUE(engine.Put(m.column, m.row, Side::Second)) << m.column << "," << m.row;
    engine.SetToMove(setup.toMove);
}

bool In(const Cells& cells, const Move& move) {
    for (const Move& c : cells)
        if (c == move)
            return true;
    return false;
}

std::string Text(const Move& m) {
    return std::to_string(m.column) + "," + std::to_string(m.row);
}

// Positions with the moves that must be played, whatever the level.
struct MustCase {
    Setup setup;
    Cells answers;
};

const MustCase kMustCases[] = {
    // X to move completes its own five, even with an open four of O's on the board.
    {{"five across", {{4, 8}, {5, 8}, {6, 8}, {7, 8}}, {{3, 8}, {4, 2}, {5, 2}, {6, 2}, {7, 2}}},
     {{8, 8}}},
    {{"five down at the edge", {{1, 1}, {1, 2}, {1, 3}, {1, 4}}, {{5, 5}, {6, 6}, {9, 9}}},
     {{1, 5}}},
    {{"five with a gap", {{10, 10}, {11, 11}, {13, 13}, {14, 14}}, {{3, 3}, {3, 4}, {3, 5}}},
     {{12, 12}}},
    {{"five on the rising diagonal", {{15, 1}, {14, 2}, {13, 3}, {12, 4}}, {{8, 8}, {8, 9}}},
     {{11, 5}}},
    // X to move blocks O's four when it has no five of its own.
    {{"block a four", {{8, 8}, {9, 9}, {3, 5}}, {{4, 5}, {5, 5}, {6, 5}, {7, 5}}}, {{8, 5}}},
    {{"block a four with a gap", {{8, 8}, {9, 9}, {12, 12}}, {{3, 10}, {4, 10}, {6, 10}, {7, 10}}},
     {{5, 10}}},
    {{"block a four down", {{8, 8}, {9, 9}, {12, 12}}, {{2, 1}, {2, 2}, {2, 3}, {2, 4}}}, {{2, 5}}},
    // An open four cannot be stopped, but it is still met at one of its ends.
    {{"meet an open four", {{8, 8}, {9, 9}, {12, 3}}, {{4, 12}, {5, 12}, {6, 12}, {7, 12}}},
     {{3, 12}, {8, 12}}},
};

TEST(EngineTest, MakesFiveAndBlocksFoursAtEveryLevel) {
    for (const MustCase& c : kMustCases) {
        for (Level level : kLevels) {
            // Easy's slips come from its seed: several seeds, none may slip here.
            for (uint64_t seed = 1; seed <= (level == Level::Easy ? 10u : 2u); ++seed) {
                Engine engine(level, seed);
                Load(engine, c.setup);
                const Move move = engine.Think({.time = 2s});
                EXPECT_TRUE(In(c.answers, move)) << c.setup.what << " at " << Name(level)
                                                 << " seed " << seed << ": played " << Text(move);
            }
        }
    }
}

// Wins by force, with the first moves that win. Only fours: X plays (5,8), O must block at
// (5,9), and (6,8) makes two fours; (6,8) first wins the same way (O at (8,9) keeps (6,7) from
// being a four with an open three). Threes: (8,8) makes two open
// threes (6..8 across, 8,_,10,11 down), and X has no four anywhere.
struct WinCase {
    Setup setup;
    Cells firsts;
    bool mediumToo;  // found by fours, which Medium looks for as well
};

const WinCase kWinCases[] = {
    {{"by fours",
      {{5, 5}, {5, 6}, {5, 7}, {7, 8}, {8, 8}, {6, 9}, {6, 10}, {6, 11}},
      {{5, 4}, {9, 8}, {6, 12}, {8, 9}, {12, 3}, {3, 13}}},
     {{5, 8}, {6, 8}},
     true},
    {{"by threes", {{6, 8}, {7, 8}, {8, 10}, {8, 11}}, {{12, 3}, {13, 4}, {3, 13}}},
     {{8, 8}},
     false},
};

TEST(EngineTest, FindsWinsByFoursAndThrees) {
    for (const WinCase& c : kWinCases) {
        for (Level level : {Level::Medium, Level::Hard}) {
            if (level == Level::Medium && !c.mediumToo)
                continue;
            Engine engine(level);
            Load(engine, c.setup);
            const Move move = engine.Think({.time = 5s});
            EXPECT_TRUE(In(c.firsts, move))
                << c.setup.what << " at " << Name(level) << ": played " << Text(move);
            EXPECT_TRUE(engine.LastInfo().forced) << c.setup.what << " at " << Name(level);
        }
    }
}

// The win is real: from the winning move on, X (Hard) beats O (Hard) within a few moves.
TEST(EngineTest, WinsByForceAgainstTheBestDefence) {
    for (const WinCase& c : kWinCases) {
        Engine engine(Level::Hard);
        Load(engine, c.setup);
        for (int ply = 0; ply < 20 && engine.Winner() == 0; ++ply) {
            const Move move = engine.Think({.time = 300ms});
            ASSERT_TRUE(engine.Play(move.column, move.row)) << Text(move);
        }
        EXPECT_EQ(engine.Winner(), 1) << c.setup.what;
    }
}

// A game of the engine against itself from a few opening stones; every move must be a legal
// one, and the game must end with a winner or a full board.
void PlayOut(Engine& engine, const Limits& limits, std::vector<Move>* moves = nullptr) {
    for (int ply = 0; ply < 225 && engine.Winner() == 0 && !engine.Full(); ++ply) {
        const Move move = engine.Think(limits);
        ASSERT_GE(move.column, 1);
        ASSERT_LE(move.column, 15);
        ASSERT_GE(move.row, 1);
        ASSERT_LE(move.row, 15);
        ASSERT_EQ(engine.At(move.column, move.row), 0) << "played on a stone: " << Text(move);
        ASSERT_TRUE(engine.Play(move.column, move.row));
        if (moves)
            moves->push_back(move);
    }
}

TEST(EngineTest, PlaysOnlyEmptyCellsOnTheBoardUntilTheGameEnds) {
    for (Level level : kLevels) {
        Engine engine(level, 7);
        ASSERT_TRUE(engine.Play(1, 1));
        ASSERT_TRUE(engine.Play(15, 15));
        ASSERT_TRUE(engine.Play(1, 15));
        PlayOut(engine, {.time = 20ms});
        EXPECT_TRUE(engine.Winner() != 0 || engine.Full()) << Name(level);
        EXPECT_FALSE(engine.Think({.time = 20ms})) << "a move after the game ended";
    }
}

TEST(EngineTest, SameSeedSameGame) {
    for (Level level : kLevels) {
        std::vector<Move> games[2];
        for (auto& game : games) {
            Engine engine(level, 42);
            ASSERT_TRUE(engine.Play(8, 8));
            PlayOut(engine, {.time = 60s, .depth = 2, .nodes = 5000}, &game);
        }
        EXPECT_EQ(games[0], games[1]) << Name(level);
    }
}

TEST(EngineTest, RefusesCellsOffTheBoardOrTakenAndUndoes) {
    Engine engine;
    EXPECT_FALSE(engine.Play(0, 5));
    EXPECT_FALSE(engine.Play(16, 5));
    EXPECT_FALSE(engine.Play(5, -1));
    EXPECT_TRUE(engine.Play(5, 5));
    EXPECT_FALSE(engine.Play(5, 5));
    EXPECT_EQ(engine.ToMove(), Side::Second);
    EXPECT_EQ(engine.At(5, 5), 1);
    EXPECT_TRUE(engine.Undo());
    EXPECT_EQ(engine.At(5, 5), 0);
    EXPECT_EQ(engine.ToMove(), Side::First);
    EXPECT_FALSE(engine.Undo());
}

// A middle game: the engine against itself for twenty moves from the centre.
void MiddleGame(Engine& engine) {
    engine.NewGame();
    ASSERT_TRUE(engine.Play(8, 8));
    for (int ply = 0; ply < 20; ++ply) {
        const Move move = engine.Think({.time = 60s, .depth = 2, .nodes = 20000});
        ASSERT_TRUE(engine.Play(move.column, move.row));
    }
    ASSERT_EQ(engine.Winner(), 0);
}

TEST(EngineTest, AnswersWithinItsTime) {
    Engine engine;
    MiddleGame(engine);
    auto answer =
        std::async(std::launch::async, [&engine] { return engine.Think({.time = 200ms}); });
    ASSERT_EQ(answer.wait_for(20s), std::future_status::ready);
    const Move move = answer.get();
    EXPECT_EQ(engine.At(move.column, move.row), 0);
}

TEST(EngineTest, StopsWhenAsked) {
    // An opening, where a search of a minute would not end by itself.
    Engine engine;
    for (const Move& m : Cells{{8, 8}, {8, 9}, {6, 10}})
        ASSERT_TRUE(engine.Play(m.column, m.row));
    std::atomic<bool> stop{false};
    auto answer = std::async(std::launch::async,
                             [&engine, &stop] { return engine.Think({.time = 60s}, &stop); });
    stop = true;
    ASSERT_EQ(answer.wait_for(20s), std::future_status::ready) << "the search ignored its stop";
    const Move move = answer.get();
    ASSERT_TRUE(move);
    EXPECT_EQ(engine.At(move.column, move.row), 0);
}

}  // namespace
