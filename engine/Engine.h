// The computer opponent: five in a row (five or more in a line wins, a full board is a draw) on
// a square board of 15 cells a side, or any size from 5 to 20. Plain C++, standard library only.
//
// Coordinates are the game's: column first, then row, both counted from 1 (1..15 on the game's
// board). A Move of {0, 0} means no move.
//
// How it plays: a move that makes five; else one that blocks the other side's five; else a win
// by a row of fours (VCF) and, at Hard, by threes and fours (VCT); else an iterative-deepening
// principal-variation search with a transposition table, which looks only at cells near stones,
// ordered by what they threaten, and answers the other side's threats only with moves that meet
// them. Easy plays as a beginner does: it always makes its five and blocks a four, looks only
// three moves ahead, and about one move in ten goes by the look of the cells alone, overlooking
// an open three now and then and picking among the good moves at random.
//
// Threads: an Engine belongs to the thread that made it, and all its calls are made there. The
// one exception is the stop flag given to Think, which any thread may set at any time: Think
// then returns its best move so far within a few milliseconds. Think is deterministic for a seed
// when it ends by depth or node limit; a time limit makes the result depend on the machine.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace engine {

class Search;

enum class Level { Easy, Medium, Hard };

struct Move {
    int column = 0;  // 1..size, 0 for no move
    int row = 0;
    bool operator==(const Move&) const = default;
    explicit operator bool() const { return column != 0; }
};

// The sides, by who moved first.
enum class Side { First, Second };

struct Limits {
    // How long Think may take; zero takes the level's own (Hard 1 s, Medium 0.3 s, Easy 0.1 s).
    std::chrono::milliseconds time{0};
    int depth = 0;       // the deepest search, in moves; zero takes the level's own
    uint64_t nodes = 0;  // the most positions to look at; zero for no limit
};

// What the last Think did, for logs and benchmarks.
struct ThinkInfo {
    int depth = 0;        // the deepest search completed
    uint64_t nodes = 0;   // positions looked at
    int score = 0;        // for the side that moved, in hundredths of a stone-ish; +-1000000 wins
    bool forced = false;  // a five, a block, or a win found by fours or threes
};

class Engine {
public:
    explicit Engine(Level level = Level::Hard, uint64_t seed = 1);
    ~Engine();

    // An empty board of size cells a side (5..20); the first side is to move.
    void NewGame(int size = 15);
    int Size() const;
    void SetLevel(Level level) { fLevel = level; }
    Level GetLevel() const { return fLevel; }
    // Restarts the random choices (Easy's mistakes, ties) from seed.
    void SetSeed(uint64_t seed);

    // The side to move plays at (column, row); then the other side is to move. False (and
    // nothing changes) when the cell is off the board or taken, or the game is over.
    bool Play(int column, int row);
    // Puts side's stone on the board without changing who is to move, for setting up a
    // position. False when the cell is off the board or taken.
    bool Put(int column, int row, Side side);
    Side ToMove() const { return fToMove; }
    void SetToMove(Side side) { fToMove = side; }
    // 0 empty, 1 the first side's stone, 2 the second side's; 0 off the board too.
    int At(int column, int row) const;
    int Stones() const;
    // The side with five in a row, if any: 1 first, 2 second, 0 none.
    int Winner() const;
    bool Full() const;

    // The side to move's best move within limits; stop, when not null, may be set from another
    // thread to have the best move so far at once. Returns no move only when the game is over.
    Move Think(const Limits& limits = {}, const std::atomic<bool>* stop = nullptr);
    const ThinkInfo& LastInfo() const { return fInfo; }

private:
    Level fLevel;
    Side fToMove = Side::First;
    std::unique_ptr<Search> fSearch;
    ThinkInfo fInfo;
};

}  // namespace engine
