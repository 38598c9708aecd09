// The 15 x 15 board and the five-in-a-row rules. Plain C++: no Qt, no kit, no sockets.
//
// A Board is a plain value, copied freely and used on one thread. It stores 16 x 16 cells so
// that the playing cells keep the indices 1..15; row 0 and column 0 are never written. A cell
// holds 0 (empty), PLAYER_O, PLAYER_X, or a player + kLastMoveFlag for the most recent move.
#pragma once

#include <cstdint>

// Players, as board cells and turns hold them.
constexpr int PLAYER_O = 1;
constexpr int PLAYER_X = 2;

class Board {
public:
    static constexpr int kSize = 15;  // playing cells per side, indices 1..15
    static constexpr int32_t kLastMoveFlag = 10;
    static constexpr int kCellPixels = 20;

    Board();       // all cells 0
    void Clear();  // all 16x16 stored cells 0

    // The value of a stored cell: 0 empty, 1 O, 2 X, 11/12 the flagged cell of the most recent
    // move. Index 0 of either dimension is storage only and always 0; off-storage (<0 or >15)
    // reads 0.
    int32_t Cell(int column, int row) const;
    // The player of a cell: value - 10 when above 9, else the value; 0 when empty.
    int PlayerAt(int column, int row) const;
    static bool OnBoard(int column, int row);  // both in 1..15
    // The cell under a point of the view: column = trunc(x / 20.0 + 1), row = trunc(y / 20.0 + 1),
    // truncated toward zero; a point right of or below the board gives 16 or more.
    static void CellAt(float x, float y, int* column, int* row);
    // Places player's mark flagged as the last move, after unflagging the previous one. Returns 1
    // when placed; -1 (and changes nothing) when off the board or the cell holds a mark.
    int Place(int column, int row, int player);
    // The player with a run of five or more that starts at (column, row) going right-down,
    // right-up, right or down (checked in that order); flagged marks count. 0 when none.
    int CheckWin(int column, int row) const;
    // The first cell, columns outer and rows inner, at which CheckWin gives a player: that player,
    // and the cell in *column / *row. 0 when none (the outputs are then left alone).
    int FindWinner(int* column, int* row) const;

private:
    int32_t fCells[16][16];  // indexed [column][row]
};
