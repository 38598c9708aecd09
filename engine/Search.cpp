#include "engine/Search.h"

#include <algorithm>

namespace engine {

namespace {

constexpr int kInfinity = 2 * Search::kWin;
constexpr int kWon = Search::kWin - 1000;  // scores beyond this are wins found by force
constexpr int kMaxPly = 400;
constexpr int kMaxVcfPly = 60;
constexpr size_t kTableSize = size_t{1} << 20;
constexpr size_t kVcfTableSize = size_t{1} << 16;
constexpr uint64_t kSideKey = 0x5bd1e9955bd1e995ull;

enum Bound : uint8_t { kExact, kLower, kUpper };

bool IsWin(int score) {
    return score > kWon || score < -kWon;
}

}  // namespace

Search::Search(uint64_t seed) : fTable(kTableSize), fVcfFailed(kVcfTableSize), fRandom(seed) {
    fMoves.resize(kMaxPly + 2);
    for (auto& moves : fMoves)
        moves.reserve(64);
}

void Search::ClearTable() {
    std::fill(fTable.begin(), fTable.end(), Entry{});
    std::fill(fVcfFailed.begin(), fVcfFailed.end(), 0);
}

void Search::Begin(const Limits& limits, Level level, const std::atomic<bool>* stop) {
    using std::chrono::milliseconds;
    milliseconds time = limits.time;
    if (time.count() <= 0)
        time = milliseconds(level == Level::Hard ? 1000 : level == Level::Medium ? 300 : 100);
    fDeadline = Clock::now() + time;
    fStop = stop;
    fNodes = 0;
    fNodeLimit = limits.nodes;
    fBudget = 0;
    fAborted = false;
    switch (level) {
        case Level::Hard:
            fSettings = {64, 14, true, 0.1, 0.25};
            break;
        case Level::Medium:
            fSettings = {4, 10, false, 0.1, 0};
            break;
        case Level::Easy:
            fSettings = {3, 8, false, 0.1, 0};
            break;
    }
    if (limits.depth > 0)
        fSettings.maxDepth = std::min(fSettings.maxDepth, limits.depth);
}

bool Search::Stopped() {
    if (fAborted)
        return true;
    ++fNodes;
    if ((fNodes & 127) == 0 &&
        ((fStop && fStop->load(std::memory_order_relaxed)) || Clock::now() >= fDeadline))
        fAborted = true;
    if (fNodeLimit && fNodes >= fNodeLimit)
        fAborted = true;
    return fAborted || (fBudget && fNodes >= fBudget);
}

uint64_t Search::Budget(uint64_t nodes) {
    const uint64_t old = fBudget;
    fBudget = nodes ? fNodes + nodes : 0;
    return old;
}

// --- Wins by fours -----------------------------------------------------------------------------

void Search::AttackMoves(int side, Threat least, bool mustBlock, std::vector<int>& moves) {
    Position& p = fPosition;
    moves.clear();
    if (mustBlock) {
        // The other side's four must be blocked; the attack only goes on if the block is one too.
        const int block = p.FiveCell(1 - side);
        if (p.ThreatAt(block, side) >= least)
            moves.push_back(block);
        return;
    }
    p.Collect(side, least, moves);
    // Fours by what they threaten besides; threes by the value of the cell.
    std::stable_sort(moves.begin(), moves.end(), [&p, side, least](int a, int b) {
        return least >= kMakes4 ? p.ThreatAt(a, side) > p.ThreatAt(b, side)
                                : p.ValueAt(a, side) > p.ValueAt(b, side);
    });
}

bool Search::Vcf(int side, int ply, int& first) {
    Position& p = fPosition;
    const int other = 1 - side;
    if (p.CountExactly(side, kMakesFive)) {
        first = p.FiveCell(side);
        return true;
    }
    if (Stopped() || ply >= kMaxVcfPly)
        return false;
    const int otherFives = p.CountExactly(other, kMakesFive);
    if (otherFives >= 2)
        return false;
    std::vector<int>& moves = fMoves[ply];
    if (otherFives == 0 && p.CountExactly(side, kMakesOpen4)) {
        p.Collect(side, kMakesOpen4, moves);
        first = moves.front();
        return true;
    }
    const uint64_t key = p.Hash() ^ (side ? kSideKey : 0);
    uint64_t& failed = fVcfFailed[key & (kVcfTableSize - 1)];
    if (failed == key)
        return false;
    AttackMoves(side, kMakes4, otherFives == 1, moves);
    for (size_t i = 0; i < moves.size(); ++i) {
        const int move = moves[i];
        p.Put(move, side);
        bool won = false;
        if (p.CountExactly(other, kMakesFive) == 0) {
            if (p.CountExactly(side, kMakesFive) >= 2) {
                won = true;
            } else if (const int block = p.FiveCell(side); block >= 0) {
                p.Put(block, other);
                int next = -1;
                won = Vcf(side, ply + 2, next);
                p.Remove(block);
            }
        }
        p.Remove(move);
        if (won) {
            first = move;
            return true;
        }
        if (fAborted || (fBudget && fNodes >= fBudget))
            return false;
    }
    failed = key;
    return false;
}

int Search::FindVcf(int side, uint64_t nodes) {
    const uint64_t old = Budget(nodes);
    int first = -1;
    const bool won = Vcf(side, 1, first);
    fBudget = old;
    return won ? first : -1;
}

// --- Wins by threes and fours ------------------------------------------------------------------

bool Search::Vct(int side, int depth, int ply, int& first) {
    Position& p = fPosition;
    const int other = 1 - side;
    if (p.CountExactly(side, kMakesFive)) {
        first = p.FiveCell(side);
        return true;
    }
    if (Stopped() || ply >= kMaxPly - kMaxVcfPly)
        return false;
    if (Vcf(side, ply, first))
        return true;
    const int otherFives = p.CountExactly(other, kMakesFive);
    if (depth <= 0 || otherFives >= 2)
        return false;
    std::vector<int>& moves = fMoves[ply];
    AttackMoves(side, kMakes3, otherFives == 1, moves);
    for (size_t i = 0; i < moves.size(); ++i) {
        const int move = moves[i];
        p.Put(move, side);
        const bool won = VctDefends(side, depth - 1, ply + 1);
        p.Remove(move);
        if (won) {
            first = move;
            return true;
        }
        if (fAborted || (fBudget && fNodes >= fBudget))
            return false;
    }
    return false;
}

bool Search::VctDefends(int attacker, int depth, int ply) {
    Position& p = fPosition;
    const int defender = 1 - attacker;
    if (Stopped() || p.CountExactly(defender, kMakesFive))
        return false;
    const int fives = p.CountExactly(attacker, kMakesFive);
    if (fives >= 2)
        return true;
    int next = -1;
    if (fives == 1) {
        const int block = p.FiveCell(attacker);
        p.Put(block, defender);
        const bool won = Vct(attacker, depth, ply + 1, next);
        p.Remove(block);
        return won;
    }
    if (p.CountExactly(attacker, kMakesOpen4) == 0)
        return false;
    // An open four to come is met on its line (where the attacker would make a four) or by a
    // four of the defender's own.
    std::vector<int>& moves = fMoves[ply];
    moves.clear();
    for (int cell : p.Cells())
        if (p.Empty(cell) &&
            (p.ThreatAt(cell, attacker) >= kMakes4 || p.ThreatAt(cell, defender) >= kMakes4))
            moves.push_back(cell);
    for (size_t i = 0; i < moves.size(); ++i) {
        const int move = moves[i];
        p.Put(move, defender);
        const bool won = Vct(attacker, depth, ply + 1, next);
        p.Remove(move);
        if (!won)
            return false;
    }
    return true;
}

int Search::FindVct(int side, int depth, uint64_t nodes) {
    const uint64_t old = Budget(nodes);
    int first = -1;
    bool won = false;
    for (int d = 1; d <= depth && !won && !fAborted && !(fBudget && fNodes >= fBudget); ++d)
        won = Vct(side, d, 1, first);
    fBudget = old;
    return won ? first : -1;
}

// --- Alpha-beta --------------------------------------------------------------------------------

Search::Entry* Search::Probe(uint64_t key) {
    Entry& entry = fTable[key & (kTableSize - 1)];
    return entry.key == key ? &entry : nullptr;
}

void Search::Store(uint64_t key, int depth, int score, int bound, int move, int ply) {
    Entry& entry = fTable[key & (kTableSize - 1)];
    if (entry.key == key && entry.depth > depth)
        return;
    // Wins are stored as counted from this position, not from the root.
    if (score > kWon)
        score += ply;
    else if (score < -kWon)
        score -= ply;
    entry = {key, score, static_cast<int16_t>(move), static_cast<int8_t>(std::min(depth, 127)),
             static_cast<uint8_t>(bound)};
}

int Search::QuickWin(int side, int ply) const {
    const Position& p = fPosition;
    const int other = 1 - side;
    if (p.CountExactly(side, kMakesFive))
        return kWin - ply - 1;
    if (p.CountExactly(other, kMakesFive) >= 2)
        return -(kWin - ply - 2);
    if (p.CountExactly(other, kMakesFive))
        return 0;
    // An open four wins: the other side cannot make five in between.
    if (p.CountExactly(side, kMakesOpen4))
        return kWin - ply - 3;
    // A four with an open three, or two open threes, win when the other side has no four to
    // answer with: the three becomes an open four after the block.
    if (p.Count(other, kMakes4) == 0 &&
        (p.CountExactly(side, kMakes43) || p.CountExactly(side, kMakes33)))
        return kWin - ply - 5;
    return 0;
}

int Search::Evaluate(int side) const {
    const Position& p = fPosition;
    const int other = 1 - side;
    // The side to move is a tempo ahead: its own shapes weigh more.
    int score = (p.Total(side) * 6 - p.Total(other) * 5) / 5;
    if (p.CountExactly(other, kMakesOpen4) && p.Count(side, kMakes4) == 0)
        score -= 300;
    return score;
}

void Search::Generate(int side, int width, std::vector<int>& moves) {
    const Position& p = fPosition;
    const int other = 1 - side;
    moves.clear();
    fScored.clear();
    const bool threatened = p.CountExactly(other, kMakesOpen4) > 0;
    for (int cell : p.Cells()) {
        if (!p.Empty(cell) || !p.Near(cell))
            continue;
        const Threat mine = p.ThreatAt(cell, side);
        const Threat theirs = p.ThreatAt(cell, other);
        // Against an open three to come only what stops it, or a four, will do.
        if (threatened && mine < kMakes4 && theirs < kMakes4)
            continue;
        int score = p.ValueAt(cell, side) * 5 / 4 + p.ValueAt(cell, other);
        if (mine >= kMakes4)
            score += 200 * mine;
        fScored.emplace_back(-score, cell);
    }
    std::sort(fScored.begin(), fScored.end());
    const size_t keep =
        threatened || width <= 0 ? fScored.size() : std::min<size_t>(fScored.size(), width);
    for (size_t i = 0; i < keep; ++i)
        moves.push_back(fScored[i].second);
}

int Search::AlphaBeta(int side, int depth, int alpha, int beta, int ply) {
    Position& p = fPosition;
    if (Stopped())
        return 0;
    const int other = 1 - side;
    if (const int won = QuickWin(side, ply))
        return won;
    if (p.Full())
        return 0;
    if (p.CountExactly(other, kMakesFive)) {
        // The block is forced, and costs no depth.
        const int block = p.FiveCell(other);
        p.Put(block, side);
        const int score = -AlphaBeta(other, depth, -beta, -alpha, ply + 1);
        p.Remove(block);
        return score;
    }
    if (depth <= 0 || ply >= kMaxPly)
        return Evaluate(side);

    const uint64_t key = p.Hash() ^ (side ? kSideKey : 0);
    int ttMove = -1;
    if (const Entry* entry = Probe(key)) {
        ttMove = entry->move;
        if (entry->depth >= depth) {
            int score = entry->score;
            if (score > kWon)
                score -= ply;
            else if (score < -kWon)
                score += ply;
            if (entry->bound == kExact || (entry->bound == kLower && score >= beta) ||
                (entry->bound == kUpper && score <= alpha))
                return score;
        }
    }

    std::vector<int>& moves = fMoves[ply];
    Generate(side, fSettings.width, moves);
    if (ttMove >= 0) {
        const auto found = std::find(moves.begin(), moves.end(), ttMove);
        if (found != moves.end())
            std::rotate(moves.begin(), found, found + 1);
    }
    if (moves.empty())
        return Evaluate(side);

    const int alphaIn = alpha;
    int best = -kInfinity;
    int bestMove = moves.front();
    for (size_t i = 0; i < moves.size(); ++i) {
        const int move = moves[i];
        p.Put(move, side);
        int score;
        if (i == 0) {
            score = -AlphaBeta(other, depth - 1, -beta, -alpha, ply + 1);
        } else {
            score = -AlphaBeta(other, depth - 1, -alpha - 1, -alpha, ply + 1);
            if (score > alpha && score < beta)
                score = -AlphaBeta(other, depth - 1, -beta, -alpha, ply + 1);
        }
        p.Remove(move);
        if (fAborted)
            return 0;
        if (score > best) {
            best = score;
            bestMove = move;
            if (score > alpha)
                alpha = score;
            if (alpha >= beta)
                break;
        }
    }
    const int bound = best >= beta ? kLower : best > alphaIn ? kExact : kUpper;
    Store(key, depth, best, bound, bestMove, ply);
    return best;
}

// --- The move ----------------------------------------------------------------------------------

int Search::Forced(int side, ThinkInfo& info) {
    Position& p = fPosition;
    const int other = 1 - side;
    info.forced = true;
    if (const int five = p.FiveCell(side); five >= 0) {
        info.score = kWin - 1;
        return five;
    }
    if (const int block = p.FiveCell(other); block >= 0)
        return block;
    if (p.CountExactly(side, kMakesOpen4)) {
        std::vector<int>& moves = fMoves[0];
        p.Collect(side, kMakesOpen4, moves);
        info.score = kWin - 3;
        return moves.front();
    }
    info.forced = false;
    return -1;
}

int Search::ThinkEasy(int side, ThinkInfo& info) {
    Position& p = fPosition;
    const int other = 1 - side;
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    if (const int five = p.FiveCell(side); five >= 0)
        return five;
    if (const int block = p.FiveCell(other); block >= 0)
        return block;
    std::vector<int>& moves = fMoves[0];
    if (p.CountExactly(side, kMakesOpen4) && chance(fRandom) < 0.8) {
        p.Collect(side, kMakesOpen4, moves);
        return moves.front();
    }
    // A beginner sees the other side's open three only now and then.
    const bool sees = chance(fRandom) < 0.55;
    fScored.clear();
    for (int cell : p.Cells()) {
        if (!p.Empty(cell) || !p.Near(cell))
            continue;
        const Threat theirs = p.ThreatAt(cell, other);
        int score = p.ValueAt(cell, side) + p.ValueAt(cell, other) * 3 / 4;
        if (!sees && theirs >= kMakes3)
            score = p.ValueAt(cell, side);
        fScored.emplace_back(-score, cell);
    }
    std::sort(fScored.begin(), fScored.end());
    info.nodes = fScored.size();
    if (fScored.empty())
        return p.Cells()[p.Cells().size() / 2];
    // One of the few best, the better ones more often.
    const size_t choices = std::min<size_t>(fScored.size(), 4);
    std::discrete_distribution<size_t> pick({8.0, 4.0, 2.0, 1.0});
    size_t index = pick(fRandom);
    if (index >= choices)
        index = 0;
    return fScored[index].second;
}

int Search::Think(int side, Level level, const Limits& limits, const std::atomic<bool>* stop,
                  ThinkInfo& info) {
    Position& p = fPosition;
    const int other = 1 - side;
    info = {};
    if (p.Full())
        return -1;
    Begin(limits, level, stop);
    const Clock::time_point start = Clock::now();
    const auto total = fDeadline - start;
    if (p.StoneCount() == 0) {
        info.forced = true;
        return Position::Index(p.Size() / 2, p.Size() / 2);
    }
    // A beginner: now and then a move by the look of the cells alone, else a short search.
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    if (level == Level::Easy && chance(fRandom) < 0.1)
        return ThinkEasy(side, info);
    if (const int move = Forced(side, info); move >= 0)
        return move;

    // Wins by fours, then by threes, each within its share of the time.
    const Clock::time_point realDeadline = fDeadline;
    fDeadline = start + std::chrono::duration_cast<Clock::duration>(total * fSettings.vcfShare);
    int win = fSettings.vcfShare > 0 ? FindVcf(side, 0) : -1;
    if (win < 0 && fSettings.vct && !fAborted) {
        fDeadline = start + std::chrono::duration_cast<Clock::duration>(
                                total * (fSettings.vcfShare + fSettings.vctShare));
        win = FindVct(side, 12, 0);
    }
    fDeadline = realDeadline;
    const bool stopped = fStop && fStop->load(std::memory_order_relaxed);
    fAborted = stopped || (fNodeLimit && fNodes >= fNodeLimit);
    if (win >= 0) {
        info.forced = true;
        info.score = kWin - 1;
        info.nodes = fNodes;
        return win;
    }

    std::vector<int> roots;
    Generate(side, 0, roots);
    if (roots.empty())
        roots = {p.Cells()[p.Cells().size() / 2]};
    if (roots.size() > 24)
        roots.resize(24);
    // Moves after which the other side wins by fours are dropped, unless every move is such.
    if (!fAborted && p.Count(other, kMakes4) + p.Count(other, kMakes3) > 0) {
        std::vector<int> safe;
        for (int move : roots) {
            p.Put(move, side);
            const bool lost = FindVcf(other, 2000) >= 0;
            p.Remove(move);
            if (!lost)
                safe.push_back(move);
            if (fAborted)
                break;
        }
        if (!safe.empty() && !fAborted)
            roots.swap(safe);
    }

    const Clock::time_point searchStart = Clock::now();
    int bestMove = roots.front();
    int bestScore = -kInfinity;
    std::vector<int> scores(roots.size(), -kInfinity);
    for (int depth = 1; depth <= fSettings.maxDepth && !fAborted; ++depth) {
        int alpha = -kInfinity;
        int iterationMove = -1;
        int iterationScore = -kInfinity;
        for (size_t i = 0; i < roots.size(); ++i) {
            const int move = roots[i];
            p.Put(move, side);
            int score;
            if (i == 0) {
                score = -AlphaBeta(other, depth - 1, -kInfinity, -alpha, 1);
            } else {
                score = -AlphaBeta(other, depth - 1, -alpha - 1, -alpha, 1);
                if (score > alpha && !fAborted)
                    score = -AlphaBeta(other, depth - 1, -kInfinity, -alpha, 1);
            }
            p.Remove(move);
            if (fAborted)
                break;
            scores[i] = score;
            if (score > iterationScore) {
                iterationScore = score;
                iterationMove = move;
                alpha = std::max(alpha, score);
            }
        }
        if (iterationMove >= 0 && (!fAborted || iterationScore >= bestScore)) {
            bestMove = iterationMove;
            bestScore = iterationScore;
        }
        if (fAborted)
            break;
        info.depth = depth;
        // The best first next time; the rest by their scores.
        std::vector<size_t> order(roots.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return scores[a] > scores[b]; });
        std::vector<int> sorted;
        for (size_t i : order)
            sorted.push_back(roots[i]);
        roots.swap(sorted);
        std::fill(scores.begin(), scores.end(), -kInfinity);
        if (IsWin(bestScore))
            break;
        // An iteration takes a few times the one before: one that cannot end is not begun.
        const Clock::time_point now = Clock::now();
        if (!fNodeLimit && now - searchStart > (fDeadline - searchStart) * 2 / 5)
            break;
    }
    info.score = bestScore;
    info.nodes = fNodes;
    return bestMove;
}

}  // namespace engine
