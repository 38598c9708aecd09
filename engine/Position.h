// The engine's board: stones of two sides on a square board of 5 to 20 cells a side, with what
// every empty cell would make for either side kept up to date as stones come and go. Plain C++,
// standard library only. A Position is a value used by one thread at a time.
//
// Cells are indices into a padded array (Index(column, row), columns and rows counted from 0);
// the padding reads as walls, so that lines can be walked four cells past the edge without
// checks. For each empty cell and side it keeps the shape of each of the four lines through the
// cell if that side played there (a five, an open four, a four, an open three, ...), the cell's
// threat (a five, an open four or two fours, a four with an open three, ...), a value used by the
// evaluation and the move ordering, and counts of the cells per threat.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace engine {

// The shape a line through a cell takes when a side plays there, from none to five. An open
// four has two cells that make five; a four one; an open three becomes an open four with one
// more stone, a three only a four; and so on down.
enum Shape : uint8_t {
    kNone,
    kBlocked1,  // grows into a blocked two, as a two into a three
    kOpen1,
    kBlocked2,
    kOpen2,
    kBlocked3,
    kOpen3,
    kBlocked4,
    kOpen4,
    kFive,
    kShapes
};

// What a move at a cell threatens for a side, over its four lines.
enum Threat : uint8_t {
    kQuiet,       // nothing forcing
    kMakes3,      // an open three
    kMakes33,     // two open threes
    kMakes4,      // a four (one cell then makes five)
    kMakes43,     // a four and an open three
    kMakesOpen4,  // an open four or two fours: wins unless the other side makes five first
    kMakesFive,
    kThreats
};

class Position {
public:
    static constexpr int kMaxSize = 20;
    static constexpr int kPad = 5;
    static constexpr int kStride = kMaxSize + 2 * kPad;
    static constexpr int kCells = kStride * kStride;
    static constexpr int kDirections = 4;
    static constexpr std::array<int, kDirections> kStep{1, kStride, kStride + 1, kStride - 1};

    explicit Position(int size = 15);
    void Reset(int size);

    int Size() const { return fSize; }
    static int Index(int column, int row) { return (row + kPad) * kStride + column + kPad; }
    static int Column(int cell) { return cell % kStride - kPad; }
    static int Row(int cell) { return cell / kStride - kPad; }
    bool OnBoard(int column, int row) const {
        return column >= 0 && row >= 0 && column < fSize && row < fSize;
    }
    // -1 wall, 0 empty, 1 the first side's stone, 2 the second side's.
    int At(int cell) const { return fStone[cell]; }
    bool Empty(int cell) const { return fStone[cell] == 0; }

    // Puts side's stone (0 or 1) on an empty cell, or takes the last one off it again.
    void Put(int cell, int side);
    void Remove(int cell);
    // The stones in the order they were put.
    const std::vector<int>& Stones() const { return fHistory; }
    int StoneCount() const { return static_cast<int>(fHistory.size()); }
    bool Full() const { return StoneCount() == fSize * fSize; }
    uint64_t Hash() const { return fHash; }

    Shape ShapeAt(int cell, int direction, int side) const;
    Threat ThreatAt(int cell, int side) const { return static_cast<Threat>(fThreat[side][cell]); }
    int ValueAt(int cell, int side) const { return fValue[side][cell]; }
    // Empty cells where side's move is at least that threat (from kMakes3 up), or exactly it.
    int Count(int side, Threat threat) const;
    int CountExactly(int side, Threat threat) const { return fCount[side][threat]; }
    // The sum of the values of the empty cells, per side.
    int Total(int side) const { return fTotal[side]; }
    // Stones within two cells (in both directions) of an empty cell: cells without any are not
    // worth a move.
    bool Near(int cell) const { return fNear[cell] > 0; }
    // The empty cells where side's move is at least threat, in board order.
    void Collect(int side, Threat threat, std::vector<int>& cells) const;
    // The first empty cell where side makes five, or -1.
    int FiveCell(int side) const;
    // Whether a stone of side at cell lies in five or more in a row.
    bool MakesFive(int cell, int side) const;
    // The empty cells of the board, in order.
    const std::vector<int>& Cells() const { return fBoardCells; }

private:
    void Refresh(int cell);
    void Occupied(int cell);

    int fSize = 15;
    std::array<int8_t, kCells> fStone{};
    // Per cell and direction, the eight cells around it on the line (2 bits each: empty, first,
    // second, wall), nearest last on the low side and first on the high side.
    std::array<std::array<uint16_t, kDirections>, kCells> fLine{};
    std::array<std::array<uint8_t, kCells>, 2> fThreat{};
    std::array<std::array<int16_t, kCells>, 2> fValue{};
    std::array<std::array<int, kThreats>, 2> fCount{};
    std::array<int, 2> fTotal{};
    std::array<uint8_t, kCells> fNear{};
    std::vector<int> fHistory;
    std::vector<int> fBoardCells;
    uint64_t fHash = 0;
};

}  // namespace engine
