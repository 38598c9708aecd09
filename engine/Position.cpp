#include "engine/Position.h"

#include <algorithm>

namespace engine {

namespace {

constexpr int kEmpty = 0;
constexpr int kOwn = 1;
constexpr int kOther = 2;
constexpr int kWall = 3;
constexpr int kKeys = 1 << 16;

// The line's slot for the cell offset cells away (offset -4..-1, 1..4).
int Slot(int offset) {
    return offset < 0 ? offset + 4 : offset + 3;
}

// The shapes of every line for the side whose stones are kOwn, the centre cell taken as played.
class ShapeTable {
public:
    ShapeTable() {
        fMemo.fill(0xff);
        for (int key = 0; key < kKeys; ++key)
            Classify(key);
        for (int key = 0; key < kKeys; ++key) {
            int swapped = 0;
            for (int slot = 0; slot < 8; ++slot) {
                int cell = (key >> (2 * slot)) & 3;
                if (cell == kOwn || cell == kOther)
                    cell ^= 3;
                swapped |= cell << (2 * slot);
            }
            fShape[0][key] = fMemo[key];
            fShape[1][key] = fMemo[swapped];
        }
    }
    Shape Get(int side, int key) const { return static_cast<Shape>(fShape[side][key]); }

private:
    static int At(int key, int offset) { return (key >> (2 * Slot(offset))) & 3; }
    static int With(int key, int offset) { return key | (kOwn << (2 * Slot(offset))); }
    // The length of the run of own stones through the centre.
    static int Run(int key) {
        int run = 1;
        for (int k = 1; k <= 4 && At(key, k) == kOwn; ++k)
            ++run;
        for (int k = -1; k >= -4 && At(key, k) == kOwn; --k)
            ++run;
        return run;
    }

    uint8_t Classify(int key) {
        if (fMemo[key] != 0xff)
            return fMemo[key];
        uint8_t shape = kNone;
        if (Run(key) >= 5) {
            shape = kFive;
        } else {
            int fives = 0;
            for (int k = -4; k <= 4; ++k)
                if (k != 0 && At(key, k) == kEmpty && Run(With(key, k)) >= 5)
                    ++fives;
            if (fives >= 2) {
                shape = kOpen4;
            } else if (fives == 1) {
                shape = kBlocked4;
            } else {
                // One more stone on the line makes the next shape up: this shape is two below it
                // (an open four from an open three, a four from a three, and so on).
                for (int k = -4; k <= 4; ++k) {
                    if (k == 0 || At(key, k) != kEmpty)
                        continue;
                    const int next = Classify(With(key, k));
                    if (next >= kBlocked2)
                        shape = std::max<uint8_t>(shape, next - 2);
                }
            }
        }
        fMemo[key] = shape;
        return shape;
    }

    std::array<uint8_t, kKeys> fMemo;
    std::array<std::array<uint8_t, kKeys>, 2> fShape;
};

const ShapeTable& Shapes() {
    static const ShapeTable table;
    return table;
}

struct Zobrist {
    Zobrist() {
        uint64_t state = 0x9e3779b97f4a7c15ull;
        for (auto& side : keys)
            for (auto& key : side) {
                // splitmix64: fixed keys, so that hashes are the same on every run.
                state += 0x9e3779b97f4a7c15ull;
                uint64_t z = state;
                z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
                z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
                key = z ^ (z >> 31);
            }
    }
    std::array<std::array<uint64_t, Position::kCells>, 2> keys;
};

const Zobrist& Keys() {
    static const Zobrist keys;
    return keys;
}

constexpr std::array<int, kShapes> kShapeValue{0, 1, 3, 6, 16, 20, 60, 70, 400, 3000};

}  // namespace

Position::Position(int size) {
    Reset(size);
}

void Position::Reset(int size) {
    Shapes();
    fSize = std::clamp(size, 5, kMaxSize);
    fStone.fill(-1);
    fThreat = {};
    fValue = {};
    fCount = {};
    fTotal = {};
    fNear.fill(0);
    fHistory.clear();
    fHistory.reserve(fSize * fSize);
    fBoardCells.clear();
    fHash = 0;
    for (int row = 0; row < fSize; ++row)
        for (int column = 0; column < fSize; ++column) {
            fStone[Index(column, row)] = 0;
            fBoardCells.push_back(Index(column, row));
        }
    for (int cell = 0; cell < kCells; ++cell)
        for (int d = 0; d < kDirections; ++d) {
            int key = 0;
            for (int k = -4; k <= 4; ++k) {
                if (k == 0)
                    continue;
                const int other = cell + k * kStep[d];
                const bool wall = other < 0 || other >= kCells || fStone[other] < 0;
                key |= (wall ? kWall : kEmpty) << (2 * Slot(k));
            }
            fLine[cell][d] = static_cast<uint16_t>(key);
        }
    for (int cell : fBoardCells)
        Refresh(cell);
}

Shape Position::ShapeAt(int cell, int direction, int side) const {
    return Shapes().Get(side, fLine[cell][direction]);
}

void Position::Refresh(int cell) {
    for (int side = 0; side < 2; ++side) {
        int counts[kShapes] = {};
        int value = 0;
        for (int d = 0; d < kDirections; ++d) {
            const Shape shape = Shapes().Get(side, fLine[cell][d]);
            ++counts[shape];
            value += kShapeValue[shape];
        }
        const int fours = counts[kBlocked4];
        const int threes = counts[kOpen3];
        Threat threat = kQuiet;
        if (counts[kFive]) {
            threat = kMakesFive;
        } else if (counts[kOpen4] || fours >= 2) {
            threat = kMakesOpen4;
            value += 300;
        } else if (fours && threes) {
            threat = kMakes43;
            value += 200;
        } else if (fours) {
            threat = kMakes4;
        } else if (threes >= 2) {
            threat = kMakes33;
            value += 100;
        } else if (threes) {
            threat = kMakes3;
        }
        const int old = fThreat[side][cell];
        if (old != kQuiet)
            --fCount[side][old];
        if (threat != kQuiet)
            ++fCount[side][threat];
        fTotal[side] += value - fValue[side][cell];
        fThreat[side][cell] = threat;
        fValue[side][cell] = static_cast<int16_t>(value);
    }
}

void Position::Occupied(int cell) {
    for (int side = 0; side < 2; ++side) {
        const int old = fThreat[side][cell];
        if (old != kQuiet)
            --fCount[side][old];
        fTotal[side] -= fValue[side][cell];
        fThreat[side][cell] = kQuiet;
        fValue[side][cell] = 0;
    }
}

void Position::Put(int cell, int side) {
    fStone[cell] = static_cast<int8_t>(side + 1);
    fHash ^= Keys().keys[side][cell];
    fHistory.push_back(cell);
    Occupied(cell);
    const int mark = side == 0 ? 1 : 2;
    for (int d = 0; d < kDirections; ++d)
        for (int k = 1; k <= 4; ++k) {
            const int after = cell + k * kStep[d];
            const int before = cell - k * kStep[d];
            fLine[after][d] |= static_cast<uint16_t>(mark << (2 * Slot(-k)));
            fLine[before][d] |= static_cast<uint16_t>(mark << (2 * Slot(k)));
            if (fStone[after] == 0)
                Refresh(after);
            if (fStone[before] == 0)
                Refresh(before);
        }
    for (int dr = -2; dr <= 2; ++dr)
        for (int dc = -2; dc <= 2; ++dc)
            ++fNear[cell + dr * kStride + dc];
}

void Position::Remove(int cell) {
    const int side = fStone[cell] - 1;
    fStone[cell] = 0;
    fHash ^= Keys().keys[side][cell];
    fHistory.pop_back();
    for (int d = 0; d < kDirections; ++d)
        for (int k = 1; k <= 4; ++k) {
            const int after = cell + k * kStep[d];
            const int before = cell - k * kStep[d];
            fLine[after][d] &= static_cast<uint16_t>(~(3 << (2 * Slot(-k))));
            fLine[before][d] &= static_cast<uint16_t>(~(3 << (2 * Slot(k))));
            if (fStone[after] == 0)
                Refresh(after);
            if (fStone[before] == 0)
                Refresh(before);
        }
    Refresh(cell);
    for (int dr = -2; dr <= 2; ++dr)
        for (int dc = -2; dc <= 2; ++dc)
            --fNear[cell + dr * kStride + dc];
}

int Position::Count(int side, Threat threat) const {
    int count = 0;
    for (int t = std::max<int>(threat, kMakes3); t < kThreats; ++t)
        count += fCount[side][t];
    return count;
}

void Position::Collect(int side, Threat threat, std::vector<int>& cells) const {
    cells.clear();
    for (int cell : fBoardCells)
        if (fStone[cell] == 0 && fThreat[side][cell] >= threat)
            cells.push_back(cell);
}

int Position::FiveCell(int side) const {
    if (fCount[side][kMakesFive] == 0)
        return -1;
    for (int cell : fBoardCells)
        if (fStone[cell] == 0 && fThreat[side][cell] == kMakesFive)
            return cell;
    return -1;
}

bool Position::MakesFive(int cell, int side) const {
    for (int d = 0; d < kDirections; ++d) {
        int run = 1;
        for (int k = 1; k < 5 && fStone[cell + k * kStep[d]] == side + 1; ++k)
            ++run;
        for (int k = 1; k < 5 && fStone[cell - k * kStep[d]] == side + 1; ++k)
            ++run;
        if (run >= 5)
            return true;
    }
    return false;
}

}  // namespace engine
