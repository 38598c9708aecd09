#include "engine/EngineProtocol.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>
#include <sstream>

#include "engine/ProtocolText.h"

namespace engine {

namespace {

constexpr Side kOwn = Side::First;
constexpr Side kOther = Side::Second;
constexpr long long kNoLimit = 2147483647;

}  // namespace

EngineProtocol::EngineProtocol(std::ostream& out, std::string version)
    : fOut(out), fVersion(std::move(version)), fEngine(Level::Hard) {}

void EngineProtocol::Answer(const std::string& line) {
    fOut << line << '\n';
    fOut.flush();
}

std::chrono::milliseconds EngineProtocol::Budget() const {
    // A move may take its share of what is left of the game, as if some twenty moves remained,
    // less a margin for reading, writing and the manager's own clock.
    long long budget = fTimeoutTurn > 0 ? fTimeoutTurn : 1;
    if (fTimeLeft > 0 && fTimeLeft < kNoLimit)
        budget = std::min(budget, fTimeLeft / 20);
    budget -= std::max(30LL, budget / 20);
    return std::chrono::milliseconds(std::max(5LL, budget));
}

bool EngineProtocol::Started() {
    if (fSize == 0)
        Answer("ERROR no game: START first");
    return fSize != 0;
}

bool EngineProtocol::Rebuild() {
    fEngine.NewGame(fSize);
    for (const Stone& s : fStones)
        if (!fEngine.Put(s.x + 1, s.y + 1, s.own ? kOwn : kOther))
            return false;
    fEngine.SetToMove(kOwn);
    return true;
}

void EngineProtocol::Move() {
    fEngine.SetToMove(kOwn);
    const engine::Move move = fEngine.Think({.time = Budget()});
    if (!move) {
        Answer("ERROR no move: the game is over");
        return;
    }
    fEngine.Put(move.column, move.row, kOwn);
    fStones.push_back({move.column - 1, move.row - 1, true});
    Answer(std::to_string(move.column - 1) + "," + std::to_string(move.row - 1));
}

void EngineProtocol::Start(const std::string& arguments) {
    long long size = 0;
    if (!Number(arguments, size)) {
        Answer("ERROR START takes the board size");
        return;
    }
    if (size != 15 && size != 20) {
        Answer("ERROR unsupported size " + std::to_string(size) + ": 15 and 20 are played");
        return;
    }
    fSize = static_cast<int>(size);
    fStones.clear();
    fInBoard = false;
    fEngine.NewGame(fSize);
    Answer("OK");
}

void EngineProtocol::Info(const std::string& arguments) {
    const std::string text = Trim(arguments);
    const auto blank = text.find_first_of(" \t");
    std::string key = text.substr(0, blank);
    const std::string value = blank == std::string::npos ? "" : Trim(text.substr(blank));
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (key.empty()) {
        Answer("ERROR INFO takes a key and a value");
        return;
    }
    long long number = 0;
    const bool numeric = Number(value, number);
    if (key == "timeout_turn" || key == "time_left" || key == "timeout_match" ||
        key == "max_memory" || key == "game_type" || key == "rule") {
        if (!numeric) {
            Answer("ERROR INFO " + key + " takes a number");
            return;
        }
        if (key == "timeout_turn")
            fTimeoutTurn = number;
        else if (key == "time_left")
            fTimeLeft = number;
        else if (key == "rule" && (number & ~2LL) != 0)
            Answer("MESSAGE only five or more in a row is played");
    } else if (key == "level") {
        std::string level = value;
        std::transform(level.begin(), level.end(), level.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (level == "easy")
            fEngine.SetLevel(Level::Easy);
        else if (level == "medium")
            fEngine.SetLevel(Level::Medium);
        else if (level == "hard")
            fEngine.SetLevel(Level::Hard);
        else
            Answer("ERROR INFO level is easy, medium or hard");
    } else if (key == "seed") {
        if (numeric)
            fEngine.SetSeed(static_cast<uint64_t>(number));
        else
            Answer("ERROR INFO seed takes a number");
    }
}

void EngineProtocol::Turn(const std::string& arguments) {
    long long xy[2];
    if (!Numbers(arguments, 2, xy)) {
        Answer("ERROR TURN takes x,y");
        return;
    }
    if (xy[0] >= fSize || xy[1] >= fSize) {
        Answer("ERROR " + Trim(arguments) + " is off the board");
        return;
    }
    const int x = static_cast<int>(xy[0]);
    const int y = static_cast<int>(xy[1]);
    if (!fEngine.Put(x + 1, y + 1, kOther)) {
        Answer("ERROR " + Trim(arguments) + " is taken");
        return;
    }
    fStones.push_back({x, y, false});
    Move();
}

void EngineProtocol::BoardLine(const std::string& line) {
    long long xyf[3];
    if (!Numbers(line, 3, xyf) || xyf[0] >= fSize || xyf[1] >= fSize || xyf[2] < 1 || xyf[2] > 2) {
        Answer("ERROR a BOARD line is x,y,1 or x,y,2 on the board");
        fBoardFailed = true;
        return;
    }
    const int x = static_cast<int>(xyf[0]);
    const int y = static_cast<int>(xyf[1]);
    const bool own = xyf[2] == 1;
    if (!fEngine.Put(x + 1, y + 1, own ? kOwn : kOther)) {
        Answer("ERROR " + line + " is taken");
        fBoardFailed = true;
        return;
    }
    fStones.push_back({x, y, own});
}

void EngineProtocol::TakeBack(const std::string& arguments) {
    long long xy[2];
    if (!Numbers(arguments, 2, xy)) {
        Answer("ERROR TAKEBACK takes x,y");
        return;
    }
    const auto found = std::find_if(fStones.begin(), fStones.end(),
                                    [&xy](const Stone& s) { return s.x == xy[0] && s.y == xy[1]; });
    if (found == fStones.end()) {
        Answer("ERROR no stone at " + Trim(arguments));
        return;
    }
    fStones.erase(found);
    Rebuild();
    Answer("OK");
}

bool EngineProtocol::Handle(const std::string& rawLine) {
    const std::string line = Trim(rawLine);
    if (line.empty())
        return true;
    const auto blank = line.find_first_of(" \t");
    std::string command = line.substr(0, blank);
    const std::string arguments = blank == std::string::npos ? "" : line.substr(blank + 1);
    std::transform(command.begin(), command.end(), command.begin(),
                   [](unsigned char c) { return std::toupper(c); });

    if (command == "END")
        return false;
    if (fInBoard) {
        if (command == "DONE") {
            fInBoard = false;
            if (fBoardFailed) {
                Answer("ERROR the position was not read; send BOARD again");
                fStones.clear();
                Rebuild();
            } else {
                Move();
            }
        } else {
            BoardLine(line);
        }
        return true;
    }
    if (command == "START") {
        Start(arguments);
    } else if (command == "RECTSTART") {
        Answer("ERROR rectangular boards are not supported");
    } else if (command == "RESTART") {
        if (Started()) {
            fStones.clear();
            Rebuild();
            Answer("OK");
        }
    } else if (command == "BEGIN") {
        if (Started()) {
            if (!fStones.empty())
                Answer("ERROR BEGIN on a board with stones");
            else
                Move();
        }
    } else if (command == "TURN") {
        if (Started())
            Turn(arguments);
    } else if (command == "BOARD") {
        if (Started()) {
            fStones.clear();
            Rebuild();
            fInBoard = true;
            fBoardFailed = false;
        }
    } else if (command == "TAKEBACK") {
        if (Started())
            TakeBack(arguments);
    } else if (command == "INFO") {
        Info(arguments);
    } else if (command == "ABOUT") {
        Answer("name=\"Quillet\", version=\"" + fVersion +
               "\", author=\"The Quillet authors\", country=\"\"");
    } else {
        Answer("UNKNOWN " + command);
    }
    return true;
}

void EngineProtocol::Run(std::istream& in) {
    std::string line;
    char c;
    bool more = true;
    while (more && in.get(c)) {
        if (c == '\r' || c == '\n') {
            more = Handle(line);
            line.clear();
        } else if (line.size() < 4096) {
            line += c;
        }
    }
    if (more && !line.empty())
        Handle(line);
}

}  // namespace engine
