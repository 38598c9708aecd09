#include "engine/Engine.h"

#include "engine/Search.h"

#include <algorithm>

namespace engine {

Engine::Engine(Level level, uint64_t seed)
    : fLevel(level), fSearch(std::make_unique<Search>(seed)) {
    NewGame();
}

Engine::~Engine() = default;

void Engine::NewGame(int size) {
    fSearch->Board().Reset(size);
    fSearch->ClearTable();
    fToMove = Side::First;
    fInfo = {};
}

int Engine::Size() const {
    return fSearch->Board().Size();
}

void Engine::SetSeed(uint64_t seed) {
    fSearch->Seed(seed);
}

bool Engine::Play(int column, int row) {
    if (Winner() != 0 || !Put(column, row, fToMove))
        return false;
    fToMove = fToMove == Side::First ? Side::Second : Side::First;
    return true;
}

bool Engine::Put(int column, int row, Side side) {
    Position& board = fSearch->Board();
    if (!board.OnBoard(column - 1, row - 1))
        return false;
    const int cell = Position::Index(column - 1, row - 1);
    if (!board.Empty(cell))
        return false;
    board.Put(cell, side == Side::First ? 0 : 1);
    return true;
}

int Engine::At(int column, int row) const {
    const Position& board = fSearch->Board();
    if (!board.OnBoard(column - 1, row - 1))
        return 0;
    return std::max(0, board.At(Position::Index(column - 1, row - 1)));
}

int Engine::Stones() const {
    return fSearch->Board().StoneCount();
}

int Engine::Winner() const {
    const Position& board = fSearch->Board();
    for (int cell : board.Stones())
        if (board.MakesFive(cell, board.At(cell) - 1))
            return board.At(cell);
    return 0;
}

bool Engine::Full() const {
    return fSearch->Board().Full();
}

Move Engine::Think(const Limits& limits, const std::atomic<bool>* stop) {
    if (Winner() != 0)
        return {};
    const int side = fToMove == Side::First ? 0 : 1;
    const int cell = fSearch->Think(side, fLevel, limits, stop, fInfo);
    if (cell < 0)
        return {};
    return {Position::Column(cell) + 1, Position::Row(cell) + 1};
}

}  // namespace engine
