#include "engine/Position.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using engine::Position;

// The state kept up to date stone by stone is the state made from scratch for the same stones.
void ExpectSame(const Position& kept, const Position& fresh) {
    for (int side = 0; side < 2; ++side) {
        ASSERT_EQ(kept.Total(side), fresh.Total(side));
        for (int threat = engine::kMakes3; threat < engine::kThreats; ++threat)
            ASSERT_EQ(kept.CountExactly(side, static_cast<engine::Threat>(threat)),
                      fresh.CountExactly(side, static_cast<engine::Threat>(threat)));
        for (int cell : kept.Cells()) {
            ASSERT_EQ(kept.ThreatAt(cell, side), fresh.ThreatAt(cell, side)) << cell;
            ASSERT_EQ(kept.Near(cell), fresh.Near(cell)) << cell;
        }
    }
    ASSERT_EQ(kept.Hash(), fresh.Hash());
}

Position Rebuilt(const Position& position) {
    Position fresh(position.Size());
    for (int cell : position.Stones())
        fresh.Put(cell, position.At(cell) - 1);
    return fresh;
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
                ExpectSame(position, Rebuilt(position));
        }
        while (position.StoneCount() > 0)
            position.Remove(position.Stones().back());
        ExpectSame(position, Position(size));
    }
}

// The shapes of a line, read across: X's stones, the cell looked at (*) and what it makes.
struct ShapeCase {
    const char* line;
    engine::Shape shape;
};

const ShapeCase kShapeCases[] = {
    {"..XX*XX..", engine::kFive},   {"..XXXX*X", engine::kFive},   {"..XX*..", engine::kOpen3},
    {"OXX*...", engine::kBlocked3}, {"..XXX*..", engine::kOpen4},  {"OXXX*..", engine::kBlocked4},
    {"..X.X*..", engine::kOpen3},   {"OXX*..", engine::kBlocked3}, {"..X*...", engine::kOpen2},
    {"O.XX*O", engine::kNone},      {"X.X*X.X", engine::kOpen4},   {"OXX*X.O", engine::kBlocked4},
    {"..XX*X..", engine::kOpen4},
};

TEST(PositionTest, ShapesOfLines) {
    for (const ShapeCase& c : kShapeCases) {
        Position position;
        const std::string line = c.line;
        const int star = static_cast<int>(line.find('*'));
        int target = -1;
        for (int i = 0; i < static_cast<int>(line.size()); ++i) {
            const int cell = Position::Index(3 + i, 7);
            if (line[i] == 'X')
                position.Put(cell, 0);
            else if (line[i] == 'O')
                position.Put(cell, 1);
            else if (i == star)
                target = cell;
        }
        EXPECT_EQ(position.ShapeAt(target, 0, 0), c.shape) << c.line;
    }
}

}  // namespace
