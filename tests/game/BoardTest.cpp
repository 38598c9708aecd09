#include "game/Board.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using Cells = std::vector<std::pair<int, int>>;
using Winner = std::tuple<int, int, int>;  // player, column, row

void PlaceAll(Board& board, int player, const Cells& cells) {
    for (auto [column, row] : cells)
        ASSERT_EQ(board.Place(column, row, player), 1) << column << "," << row;
}

Cells Line(int column, int row, int dc, int dr, int length = 5) {
    Cells cells;
    for (int k = 0; k < length; ++k)
        cells.emplace_back(column + k * dc, row + k * dr);
    return cells;
}

// Each case: X's marks, then O's, placed in order, and the winner.
TEST(BoardTest, FiveOrMoreInARowWinAndNothingPastTheEdgeCounts) {
    const std::tuple<Cells, Cells, Winner> cases[] = {
        {Line(5, 9, 0, 1, 6), {}, {PLAYER_X, 5, 9}},
        // The mark placed last carries the flag: here it starts the run, then sits inside it.
        {{{5, 6}, {6, 6}, {7, 6}, {8, 6}, {4, 6}}, {}, {PLAYER_X, 4, 6}},
        {{{4, 6}, {5, 6}, {7, 6}, {8, 6}, {6, 6}}, {}, {PLAYER_X, 4, 6}},
        // Runs along the edges, and the diagonals into and out of each corner.
        {Line(11, 15, 1, 0), {}, {PLAYER_X, 11, 15}},
        {Line(15, 11, 0, 1), {}, {PLAYER_X, 15, 11}},
        {Line(1, 15, 0, -1), {}, {PLAYER_X, 1, 11}},
        {Line(1, 1, 1, 1), {}, {PLAYER_X, 1, 1}},
        {Line(11, 11, 1, 1), {}, {PLAYER_X, 11, 11}},
        {Line(1, 15, 1, -1), {}, {PLAYER_X, 1, 15}},
        {Line(11, 5, 1, -1), {}, {PLAYER_X, 11, 5}},
        // Fours; the lone marks sit where a run read on past the edge of a flat store goes on.
        {{{12, 7}, {13, 7}, {14, 7}, {15, 7}, {1, 8}}, {}, Winner{}},
        {{{7, 12}, {7, 13}, {7, 14}, {7, 15}, {8, 1}}, {}, Winner{}},
        {Line(12, 12, 1, 1, 4), {}, Winner{}},
        {Line(12, 4, 1, -1, 4), {}, Winner{}},
        // The first run in column-major order wins, whoever moved last (row-major meets row 1's).
        {Line(4, 1, 1, 0), Line(3, 2, 0, 1), {PLAYER_O, 3, 2}},
        {Line(3, 2, 0, 1), Line(4, 1, 1, 0), {PLAYER_X, 3, 2}},
    };
    for (const auto& [x, o, winner] : cases) {
        Board board;
        PlaceAll(board, PLAYER_X, x);
        PlaceAll(board, PLAYER_O, o);
        int column = 0, row = 0;
        const int player = board.FindWinner(&column, &row);
        EXPECT_EQ(Winner(player, column, row), winner) << testing::PrintToString(x);
    }
}

// Pairs of columns alternate, and every row flips them: no run is longer than two. The newest
// mark alone is flagged; every move, on the board or off it, is refused and changes nothing.
TEST(BoardTest, AFullBoardWithoutFiveRefusesEveryMove) {
    Board board, empty;
    for (int column = 1; column <= Board::kSize; ++column)
        for (int row = 1; row <= Board::kSize; ++row)
            PlaceAll(board, (column / 2 + row) % 2 ? PLAYER_X : PLAYER_O, {{column, row}});
    EXPECT_EQ(board.Cell(15, 14), PLAYER_X);
    EXPECT_EQ(board.Cell(15, 15), PLAYER_O + Board::kLastMoveFlag);
    const Board before = board;
    for (int cell = 0; cell < 18 * 18; ++cell)  // columns and rows -1 to 16
        EXPECT_EQ(board.Place(cell / 18 - 1, cell % 18 - 1, PLAYER_O), -1) << cell;
    EXPECT_EQ(std::memcmp(&board, &before, sizeof(Board)), 0) << "a refused move changed a cell";
    EXPECT_EQ(board.Cell(-1, 3) + board.Cell(3, 16), 0) << "cells off the store read empty";
    int column = 0, row = 0;
    EXPECT_EQ(board.FindWinner(&column, &row), 0);
    board.Clear();
    EXPECT_EQ(std::memcmp(&board, &empty, sizeof(Board)), 0) << "Clear left a cell";
}

TEST(BoardTest, CellAtMapsViewPointsToCells) {
    using Point = std::tuple<float, float, int, int>;  // x, y, column, row
    for (auto [x, y, column, row] :
         {Point{0, 0, 1, 1}, Point{19.5f, 19.5f, 1, 1}, Point{20, 0, 2, 1}, Point{299, 299, 15, 15},
          Point{300, 0, 16, 1}, Point{0, 300, 1, 16}}) {
        int c = 0, r = 0;
        Board::CellAt(x, y, &c, &r);
        EXPECT_EQ(std::make_pair(c, r), std::make_pair(column, row)) << x << "," << y;
    }
}

}  // namespace
