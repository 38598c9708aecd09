#include "game/Board.h"

#include <cmath>
#include <limits>

namespace {

constexpr int kStorage = Board::kSize + 1;

// Truncation toward zero that stays defined for any float the view might hand over.
int TruncateToInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

}  // namespace

Board::Board() {
    Clear();
}

void Board::Clear() {
    for (auto& column : fCells) {
        for (auto& cell : column)
            cell = 0;
    }
}

int32_t Board::Cell(int column, int row) const {
    if (column < 0 || column >= kStorage || row < 0 || row >= kStorage)
        return 0;
    return fCells[column][row];
}

int Board::PlayerAt(int column, int row) const {
    int32_t value = Cell(column, row);
    return value > 9 ? value - kLastMoveFlag : value;
}

bool Board::OnBoard(int column, int row) {
    return column >= 1 && column <= kSize && row >= 1 && row <= kSize;
}

void Board::CellAt(float x, float y, int* column, int* row) {
    *column = TruncateToInt(x / static_cast<double>(kCellPixels) + 1);
    *row = TruncateToInt(y / static_cast<double>(kCellPixels) + 1);
}

int Board::Place(int column, int row, int player) {
    if (!OnBoard(column, row) || fCells[column][row] != 0)
        return -1;
    for (auto& storedColumn : fCells) {
        for (auto& cell : storedColumn) {
            if (cell > kLastMoveFlag)
                cell -= kLastMoveFlag;
        }
    }
    fCells[column][row] = player + kLastMoveFlag;
    return 1;
}

int Board::CheckWin(int column, int row) const {
    const int player = PlayerAt(column, row);
    if (player == 0)
        return 0;
    static constexpr int kDirections[4][2] = {{1, 1}, {1, -1}, {1, 0}, {0, 1}};
    for (const auto& direction : kDirections) {
        int count = 0;
        int c = column;
        int r = row;
        // The bounds check comes first: the storage must never be read past the playing cells.
        while (OnBoard(c, r) && PlayerAt(c, r) == player) {
            if (++count > 4)
                return player;
            c += direction[0];
            r += direction[1];
        }
    }
    return 0;
}

int Board::FindWinner(int* column, int* row) const {
    for (int c = 1; c <= kSize; ++c) {
        for (int r = 1; r <= kSize; ++r) {
            if (int player = CheckWin(c, r); player != 0) {
                *column = c;
                *row = r;
                return player;
            }
        }
    }
    return 0;
}
