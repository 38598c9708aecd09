#include "engine/Position.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>

namespace {

using namespace engine;

// The state kept up to date stone by stone is that of a board made afresh with the same stones.
void ExpectAsIfMadeAfresh(const Position& kept) {
    Position fresh(kept.Size());
    for (int cell : kept.Stones())
        fresh.Put(cell, kept.At(cell) - 1);
    ASSERT_EQ(kept.Hash(), fresh.Hash());
    for (int side = 0; side < 2; ++side) {
        ASSERT_EQ(kept.Total(side), fresh.Total(side));
        for (int threat = kMakes3; threat < kThreats; ++threat)
            ASSERT_EQ(kept.CountExactly(side, Threat(threat)),
                      fresh.CountExactly(side, Threat(threat)));
        for (int cell : kept.Cells()) {
            ASSERT_EQ(kept.ThreatAt(cell, side), fresh.ThreatAt(cell, side)) << cell;
            ASSERT_EQ(kept.Near(cell), fresh.Near(cell)) << cell;
        }
    }
}

TEST(PositionTest, StonesPutAndTakenKeepTheStateOfAFreshBoard) {
    for (int size : {15, 20, 7}) {
        std::mt19937 random(size);
        Position position(size);
        for (int step = 0; step < 400; ++step) {
            const auto& cells = position.Cells();
            const int cell = cells[random() % cells.size()];
            if (position.Empty(cell) && (random() % 3 != 0 || position.StoneCount() == 0))
                position.Put(cell, static_cast<int>(random() % 2));
            else if (position.StoneCount() > 0)
                position.Remove(position.Stones().back());
            if (step % 20 == 0)
                ExpectAsIfMadeAfresh(position);
        }
        while (position.StoneCount() > 0)
            position.Remove(position.Stones().back());
        ExpectAsIfMadeAfresh(position);
    }
}

// The shapes of a line, read across: X's stones, the cell looked at (*) and what it makes.
TEST(PositionTest, ShapesOfLines) {
    const std::pair<std::string, Shape> cases[] = {
        {"..XX*XX..", kFive}, {"..XXXX*X", kFive},    {"..XX*..", kOpen3},  {"OXX*...", kBlocked3},
        {"..XXX*..", kOpen4}, {"OXXX*..", kBlocked4}, {"..X.X*..", kOpen3}, {"OXX*..", kBlocked3},
        {"..X*...", kOpen2},  {"O.XX*O", kNone},      {"X.X*X.X", kOpen4},  {"OXX*X.O", kBlocked4},
        {"..XX*X..", kOpen4},
    };
    for (const auto& [line, shape] : cases) {
        Position position;
        for (size_t i = 0; i < line.size(); ++i)
            if (line[i] == 'X' || line[i] == 'O')
                position.Put(Position::Index(3 + int(i), 7), line[i] == 'X' ? 0 : 1);
        EXPECT_EQ(position.ShapeAt(Position::Index(3 + int(line.find('*')), 7), 0, 0), shape)
            << line;
    }
}

}  // namespace
