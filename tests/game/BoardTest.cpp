#include "game/Board.h"

#include <gtest/gtest.h>

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

// length cells from (column, row) stepping by (dc, dr).
Cells Line(int column, int row, int dc, int dr, int length = 5) {
    Cells cells;
    for (int k = 0; k < length; ++k)
        cells.emplace_back(column + k * dc, row + k * dr);
    return cells;
}

Winner FindWinner(const Board& board) {
    int column = 0, row = 0;
    const int player = board.FindWinner(&column, &row);
    return {player, column, row};
}

// Every stored cell, so that a refused move can be shown to change nothing.
std::vector<int32_t> Snapshot(const Board& board) {
    std::vector<int32_t> cells;
    for (int i = 0; i < 16 * 16; ++i)
        cells.push_back(board.Cell(i / 16, i % 16));
    return cells;
}

TEST(BoardTest, FiveOrMoreInARowWinAndNothingPastTheEdgeCounts) {
    const std::pair<Cells, Winner> cases[] = {
        {Line(3, 4, 1, 0), {PLAYER_X, 3, 4}},
        {Line(6, 2, 0, 1), {PLAYER_X, 6, 2}},
        {Line(2, 3, 1, 1), {PLAYER_X, 2, 3}},
        {Line(4, 12, 1, -1), {PLAYER_X, 4, 12}},
        {Line(5, 9, 0, 1, 6), {PLAYER_X, 5, 9}},
        // The mark placed last carries the flag: here it starts the run, then sits inside it.
        {{{5, 6}, {6, 6}, {7, 6}, {8, 6}, {4, 6}}, {PLAYER_X, 4, 6}},
        {{{4, 6}, {5, 6}, {7, 6}, {8, 6}, {6, 6}}, {PLAYER_X, 4, 6}},
        // Runs along the edges, and the diagonals into and out of each corner.
        {Line(11, 15, 1, 0), {PLAYER_X, 11, 15}},
        {Line(15, 11, 0, 1), {PLAYER_X, 15, 11}},
        {Line(1, 15, 0, -1), {PLAYER_X, 1, 11}},
        {Line(1, 1, 1, 1), {PLAYER_X, 1, 1}},
        {Line(11, 11, 1, 1), {PLAYER_X, 11, 11}},
        {Line(1, 15, 1, -1), {PLAYER_X, 1, 15}},
        {Line(11, 5, 1, -1), {PLAYER_X, 11, 5}},
        // Fours; the lone marks sit where a run read on past the edge of a flat store goes on.
        {{{12, 7}, {13, 7}, {14, 7}, {15, 7}, {1, 8}}, Winner{}},
        {{{7, 12}, {7, 13}, {7, 14}, {7, 15}, {8, 1}}, Winner{}},
        {{{12, 12}, {13, 13}, {14, 14}, {15, 15}, {12, 4}, {13, 3}, {14, 2}, {15, 1}}, Winner{}},
    };
    for (const auto& [cells, winner] : cases) {
        Board board;
        PlaceAll(board, PLAYER_X, cells);
        EXPECT_EQ(FindWinner(board), winner) << testing::PrintToString(cells);
    }
}

TEST(BoardTest, TheFirstRunInColumnMajorOrderDecides) {
    // Row-major order would meet the run on row 1 first.
    for (int later : {PLAYER_O, PLAYER_X}) {
        Board board;
        PlaceAll(board, later == PLAYER_O ? PLAYER_X : PLAYER_O, Line(4, 1, 1, 0));
        PlaceAll(board, later, Line(3, 2, 0, 1));
        EXPECT_EQ(FindWinner(board), (Winner{later, 3, 2}));
        EXPECT_EQ(board.CheckWin(5, 1), 0) << "runs count forward only";
    }
}

TEST(BoardTest, PlaceFlagsTheNewestMarkAndRefusesTakenOrOffBoardCells) {
    Board board;
    PlaceAll(board, PLAYER_O, {{3, 4}});
    PlaceAll(board, PLAYER_X, {{9, 2}});
    EXPECT_EQ(board.Cell(3, 4), PLAYER_O);
    EXPECT_EQ(board.Cell(9, 2), PLAYER_X + Board::kLastMoveFlag);
    const auto before = Snapshot(board);
    for (auto [column, row] :
         Cells{{3, 4}, {9, 2}, {0, 5}, {5, 0}, {16, 5}, {5, 16}, {-1, 5}, {5, -1}, {0, 0}}) {
        EXPECT_EQ(board.Place(column, row, PLAYER_O), -1) << column << "," << row;
        EXPECT_EQ(Snapshot(board), before) << column << "," << row;
    }
    EXPECT_EQ(board.Cell(-1, 3) + board.Cell(3, 16), 0) << "cells off the store read empty";
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

TEST(BoardTest, AFullBoardWithoutFiveRefusesEveryMove) {
    // Pairs of columns alternate, and every row flips them: no run is longer than two.
    Board board;
    for (int column = 1; column <= Board::kSize; ++column) {
        for (int row = 1; row <= Board::kSize; ++row)
            PlaceAll(board, (column / 2 + row) % 2 ? PLAYER_X : PLAYER_O, {{column, row}});
    }
    const auto before = Snapshot(board);
    for (int column = 1; column <= Board::kSize; ++column)
        for (int row = 1; row <= Board::kSize; ++row)
            EXPECT_EQ(board.Place(column, row, PLAYER_O), -1);
    EXPECT_EQ(Snapshot(board), before);
    EXPECT_EQ(FindWinner(board), Winner{});
    board.Clear();
    EXPECT_EQ(Snapshot(board), Snapshot(Board{}));
}

}  // namespace
