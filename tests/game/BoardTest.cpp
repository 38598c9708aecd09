#include "game/Board.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

namespace {

using Cells = std::vector<std::pair<int, int>>;

void PlaceAll(Board& board, int player, const Cells& cells) {
    for (auto [column, row] : cells)
        ASSERT_EQ(board.Place(column, row, player), 1) << column << "," << row;
}

// Every stored cell, so that a refused move can be shown to change nothing.
std::vector<int32_t> Snapshot(const Board& board) {
    std::vector<int32_t> cells;
    for (int column = 0; column <= Board::kSize; ++column) {
        for (int row = 0; row <= Board::kSize; ++row)
            cells.push_back(board.Cell(column, row));
    }
    return cells;
}

struct Winner {
    int player = 0, column = 0, row = 0;
    bool operator==(const Winner&) const = default;
};

Winner FindWinner(const Board& board) {
    Winner w;
    w.player = board.FindWinner(&w.column, &w.row);
    return w;
}

// Cells from (column, row) stepping by (dc, dr).
Cells Line(int column, int row, int dc, int dr, int length = 5) {
    Cells cells;
    for (int k = 0; k < length; ++k)
        cells.emplace_back(column + k * dc, row + k * dr);
    return cells;
}

TEST(BoardTest, FiveInEachDirectionWinsFromItsFirstCell) {
    struct Case {
        int column, row, dc, dr;
    };
    for (Case c : {Case{3, 4, 1, 0}, Case{6, 2, 0, 1}, Case{2, 3, 1, 1}, Case{4, 12, 1, -1}}) {
        Board board;
        PlaceAll(board, PLAYER_X, Line(c.column, c.row, c.dc, c.dr));
        EXPECT_EQ(FindWinner(board), (Winner{PLAYER_X, c.column, c.row}))
            << "direction " << c.dc << "," << c.dr;
        // Runs count forward only: the second cell starts a run of four.
        EXPECT_EQ(board.CheckWin(c.column + c.dc, c.row + c.dr), 0);
    }
}

TEST(BoardTest, SixWinsAndFourDoesNot) {
    Board six;
    PlaceAll(six, PLAYER_O, Line(5, 9, 0, 1, 6));
    EXPECT_EQ(FindWinner(six), (Winner{PLAYER_O, 5, 9}));

    Board four;
    PlaceAll(four, PLAYER_O, Line(5, 9, 1, 1, 4));
    EXPECT_EQ(FindWinner(four), Winner{});
}

TEST(BoardTest, RunsEndAtTheEdgeWithoutWrapping) {
    Board row;
    PlaceAll(row, PLAYER_X, Line(12, 7, 1, 0, 4));
    PlaceAll(row, PLAYER_X, {{1, 8}});
    EXPECT_EQ(row.CheckWin(12, 7), 0);
    EXPECT_EQ(FindWinner(row), Winner{});

    Board column;
    PlaceAll(column, PLAYER_X, Line(7, 12, 0, 1, 4));
    PlaceAll(column, PLAYER_X, {{8, 1}});
    EXPECT_EQ(column.CheckWin(7, 12), 0);
    EXPECT_EQ(FindWinner(column), Winner{});

    Board diagonals;
    PlaceAll(diagonals, PLAYER_O, Line(12, 12, 1, 1, 4));
    PlaceAll(diagonals, PLAYER_O, Line(12, 4, 1, -1, 4));
    EXPECT_EQ(FindWinner(diagonals), Winner{});
}

TEST(BoardTest, TheFirstRunInColumnMajorOrderDecides) {
    // Row-major order would meet the O run on row 1 first.
    Board board;
    PlaceAll(board, PLAYER_O, Line(3, 1, 1, 0));
    PlaceAll(board, PLAYER_X, Line(2, 10, 0, 1));
    EXPECT_EQ(FindWinner(board), (Winner{PLAYER_X, 2, 10}));

    Board swapped;
    PlaceAll(swapped, PLAYER_X, Line(4, 1, 1, 0));
    PlaceAll(swapped, PLAYER_O, Line(3, 2, 0, 1));
    EXPECT_EQ(FindWinner(swapped), (Winner{PLAYER_O, 3, 2}));
}

TEST(BoardTest, TheFlaggedMarkCountsInARun) {
    Board board;
    PlaceAll(board, PLAYER_X, {{4, 6}, {5, 6}, {7, 6}, {8, 6}});
    PlaceAll(board, PLAYER_O, {{1, 1}});
    EXPECT_EQ(FindWinner(board), Winner{});
    PlaceAll(board, PLAYER_X, {{6, 6}});
    ASSERT_EQ(board.Cell(6, 6), PLAYER_X + Board::kLastMoveFlag);
    EXPECT_EQ(board.PlayerAt(6, 6), PLAYER_X);
    EXPECT_EQ(FindWinner(board), (Winner{PLAYER_X, 4, 6}));
}

TEST(BoardTest, PlaceMovesTheFlagToTheNewestMark) {
    Board board;
    int column = 0, row = 0;
    EXPECT_FALSE(board.FindLastMove(&column, &row));
    PlaceAll(board, PLAYER_O, {{3, 4}});
    PlaceAll(board, PLAYER_X, {{9, 2}});
    EXPECT_EQ(board.Cell(3, 4), PLAYER_O);
    EXPECT_EQ(board.Cell(9, 2), PLAYER_X + Board::kLastMoveFlag);
    ASSERT_TRUE(board.FindLastMove(&column, &row));
    EXPECT_EQ(std::make_pair(column, row), std::make_pair(9, 2));
    PlaceAll(board, PLAYER_O, {{1, 15}});
    EXPECT_EQ(board.Cell(9, 2), PLAYER_X);
    EXPECT_EQ(board.Cell(1, 15), PLAYER_O + Board::kLastMoveFlag);
}

TEST(BoardTest, PlaceRefusesOccupiedAndOffBoardCellsChangingNothing) {
    Board board;
    PlaceAll(board, PLAYER_O, {{3, 4}});
    PlaceAll(board, PLAYER_X, {{9, 2}});
    const auto before = Snapshot(board);
    for (auto [column, row] :
         Cells{{3, 4}, {9, 2}, {0, 5}, {5, 0}, {16, 5}, {5, 16}, {-1, 5}, {5, -1}, {0, 0}}) {
        EXPECT_EQ(board.Place(column, row, PLAYER_O), -1) << column << "," << row;
        EXPECT_EQ(Snapshot(board), before) << column << "," << row;
    }
    EXPECT_EQ(board.Cell(-1, 3), 0);
    EXPECT_EQ(board.Cell(3, 16), 0);
}

TEST(BoardTest, CellAtMapsViewPointsToCells) {
    auto at = [](float x, float y) {
        int column = 0, row = 0;
        Board::CellAt(x, y, &column, &row);
        return std::make_pair(column, row);
    };
    EXPECT_EQ(at(0, 0), std::make_pair(1, 1));
    EXPECT_EQ(at(19.5f, 19.5f), std::make_pair(1, 1));
    EXPECT_EQ(at(20, 0), std::make_pair(2, 1));
    EXPECT_EQ(at(299, 299), std::make_pair(15, 15));
    EXPECT_EQ(at(300, 0), std::make_pair(16, 1));
    EXPECT_EQ(at(0, 300), std::make_pair(1, 16));
    EXPECT_FALSE(Board::OnBoard(16, 1));
}

TEST(BoardTest, AFullBoardWithoutFiveRefusesEveryMove) {
    // Pairs of columns alternate, and every row flips them: no run is longer than two.
    Board board;
    for (int column = 1; column <= Board::kSize; ++column) {
        for (int row = 1; row <= Board::kSize; ++row) {
            EXPECT_FALSE(board.IsFull());
            PlaceAll(board, (column / 2 + row) % 2 ? PLAYER_X : PLAYER_O, {{column, row}});
        }
    }
    ASSERT_TRUE(board.IsFull());
    ASSERT_EQ(FindWinner(board), Winner{});
    const auto before = Snapshot(board);
    for (int column = 1; column <= Board::kSize; ++column) {
        for (int row = 1; row <= Board::kSize; ++row) {
            EXPECT_EQ(board.Place(column, row, PLAYER_O), -1);
            EXPECT_EQ(board.Place(column, row, PLAYER_X), -1);
        }
    }
    EXPECT_EQ(Snapshot(board), before);
    EXPECT_EQ(FindWinner(board), Winner{});

    board.Clear();
    EXPECT_EQ(Snapshot(board), Snapshot(Board{}));
}

TEST(BoardTest, MoveTextSendsTheColumnFirst) {
    EXPECT_EQ(Board::MoveText(3, 12), "PUT 3 12\n");
}

}  // namespace
