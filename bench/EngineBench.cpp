// The computer opponent's speed. Search: Hard's whole second on middle-game positions, with the
// positions a second it looks at and the depth it completes; beside it the floor, a bare board
// (an array and nothing kept up to date) that only lists the cells near stones and plays and
// takes back each, two moves deep, as fast as it can. ForcedWin: the time to find a win by fours
// and one by threes in positions with a known winning move.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <vector>

#include "engine/Engine.h"

namespace {

using engine::Engine;
using engine::Level;
using engine::Move;
using engine::Side;
using namespace std::chrono_literals;

// Middle games: the engine against itself (quickly, so that they are the same on every run)
// from a few openings, for twelve stones.
const std::vector<std::vector<Move>> kOpenings = {
    {{8, 8}},
    {{8, 8}, {9, 9}, {10, 8}},
    {{6, 7}, {7, 7}, {8, 9}, {9, 6}},
};

std::vector<Move> MiddleGame(size_t index) {
    Engine engine(Level::Medium);
    std::vector<Move> moves = kOpenings[index];
    for (const Move& m : moves)
        engine.Play(m.column, m.row);
    while (moves.size() < 12) {
        const Move m = engine.Think({.time = 60s, .depth = 2, .nodes = 20000});
        engine.Play(m.column, m.row);
        moves.push_back(m);
    }
    return moves;
}

void Search(benchmark::State& state) {
    const std::vector<Move> moves = MiddleGame(static_cast<size_t>(state.range(0)));
    uint64_t nodes = 0;
    int depth = 0;
    double seconds = 0;
    for (auto _ : state) {
        Engine engine(Level::Hard);
        for (const Move& m : moves)
            engine.Play(m.column, m.row);
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(engine.Think({.time = 1s}));
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        nodes += engine.LastInfo().nodes;
        depth = engine.LastInfo().depth;
    }
    state.counters["nodes/s"] = benchmark::Counter(static_cast<double>(nodes) / seconds);
    state.counters["depth"] = depth;
}
BENCHMARK(Search)->DenseRange(0, 2)->Iterations(2)->Unit(benchmark::kMillisecond);

// The floor: a bare 15 x 15 array, the cells within two of a stone listed by scanning it.
struct BareBoard {
    std::array<std::array<int8_t, 15>, 15> cells{};
    bool Near(int c, int r) const {
        for (int dc = -2; dc <= 2; ++dc)
            for (int dr = -2; dr <= 2; ++dr) {
                const int x = c + dc, y = r + dr;
                if (x >= 0 && y >= 0 && x < 15 && y < 15 && cells[x][y])
                    return true;
            }
        return false;
    }
    uint64_t Walk(int depth, int side) {
        uint64_t nodes = 1;
        if (depth == 0)
            return nodes;
        for (int c = 0; c < 15; ++c)
            for (int r = 0; r < 15; ++r)
                if (!cells[c][r] && Near(c, r)) {
                    cells[c][r] = static_cast<int8_t>(side);
                    nodes += Walk(depth - 1, 3 - side);
                    cells[c][r] = 0;
                }
        return nodes;
    }
};

void Floor(benchmark::State& state) {
    const std::vector<Move> moves = MiddleGame(static_cast<size_t>(state.range(0)));
    BareBoard board;
    int side = 1;
    for (const Move& m : moves) {
        board.cells[m.column - 1][m.row - 1] = static_cast<int8_t>(side);
        side = 3 - side;
    }
    uint64_t nodes = 0;
    for (auto _ : state)
        nodes += board.Walk(2, side);
    state.counters["nodes/s"] =
        benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsRate);
}
BENCHMARK(Floor)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The positions of the engine's tests: a win by fours (first move (5,8) or (6,8)) and one by
// threes ((8,8)).
struct Won {
    std::vector<Move> x, o;
};
const Won kWon[] = {
    {{{5, 5}, {5, 6}, {5, 7}, {7, 8}, {8, 8}, {6, 9}, {6, 10}, {6, 11}},
     {{5, 4}, {9, 8}, {6, 12}, {8, 9}, {12, 3}, {3, 13}}},
    {{{6, 8}, {7, 8}, {8, 10}, {8, 11}}, {{12, 3}, {13, 4}, {3, 13}}},
};

void ForcedWin(benchmark::State& state) {
    const Won& won = kWon[state.range(0)];
    bool forced = true;
    for (auto _ : state) {
        Engine engine(Level::Hard);
        for (const Move& m : won.x)
            engine.Put(m.column, m.row, Side::First);
        for (const Move& m : won.o)
            engine.Put(m.column, m.row, Side::Second);
        engine.SetToMove(Side::First);
        benchmark::DoNotOptimize(engine.Think({.time = 5s}));
        forced = forced && engine.LastInfo().forced;
    }
    state.counters["found"] = forced;
}
BENCHMARK(ForcedWin)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
