// The engine's searches over a Position: wins by fours (VCF), wins by threes and fours (VCT),
// and the iterative-deepening alpha-beta search, with the transposition table they share.
// Owned by an Engine and used on its thread; the stop flag is the only thing another thread
// touches, and only by setting it.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include "engine/Engine.h"
#include "engine/Position.h"

namespace engine {

class Search {
public:
    static constexpr int kWin = 1000000;  // a won position, less the moves it takes

    explicit Search(uint64_t seed);

    Position& Board() { return fPosition; }
    const Position& Board() const { return fPosition; }
    void Seed(uint64_t seed) { fRandom.seed(seed); }
    void ClearTable();

    // The cell side plays at level within limits (-1 when the board is full).
    int Think(int side, Level level, const Limits& limits, const std::atomic<bool>* stop,
              ThinkInfo& info);

    // The first move of a win by fours for side (to move), or -1 when none is found within
    // nodes positions.
    int FindVcf(int side, uint64_t nodes);
    // The first move of a win by threes and fours for side (to move) with at most depth
    // threes, or -1 when none is found within nodes positions.
    int FindVct(int side, int depth, uint64_t nodes);
    uint64_t Nodes() const { return fNodes; }

private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        uint64_t key = 0;
        int32_t score = 0;
        int16_t move = -1;
        int8_t depth = -1;
        uint8_t bound = 0;
    };
    struct Settings {
        int maxDepth;
        int width;  // moves tried at a quiet node, best first
        bool vct;
        double vcfShare;  // of the time, for the searches by fours and threes
        double vctShare;
    };

    void Begin(const Limits& limits, Level level, const std::atomic<bool>* stop);
    bool Stopped();
    // Sets a node budget for a side search; returns the one it replaces.
    uint64_t Budget(uint64_t nodes);

    // The attacker's moves that threaten at least least, strongest first; only the block of the
    // other side's four when it must be blocked, and only if that block threatens as much.
    void AttackMoves(int side, Threat least, bool mustBlock, std::vector<int>& moves);
    bool Vcf(int side, int ply, int& first);
    bool Vct(int side, int depth, int ply, int& first);
    bool VctDefends(int attacker, int depth, int ply);

    int AlphaBeta(int side, int depth, int alpha, int beta, int ply);
    int Evaluate(int side) const;
    // A won score when side to move wins by force from what the counts show, else 0.
    int QuickWin(int side, int ply) const;
    void Generate(int side, int width, std::vector<int>& moves);
    int ThinkEasy(int side, ThinkInfo& info);
    int Forced(int side, ThinkInfo& info);

    Entry* Probe(uint64_t key);
    void Store(uint64_t key, int depth, int score, int bound, int move, int ply);

    Position fPosition;
    std::vector<Entry> fTable;
    std::vector<uint64_t> fVcfFailed;  // positions (with side) where fours were found not to win
    std::mt19937_64 fRandom;
    std::vector<std::vector<int>> fMoves;  // per ply, so that nodes do not allocate
    std::vector<std::pair<int, int>> fScored;
    Settings fSettings{};

    const std::atomic<bool>* fStop = nullptr;
    Clock::time_point fDeadline;
    uint64_t fNodes = 0;
    uint64_t fNodeLimit = 0;
    uint64_t fBudget = 0;
    bool fAborted = false;
};

}  // namespace engine
