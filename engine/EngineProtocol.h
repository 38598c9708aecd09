// The gomoku tournament protocol (the one Piskvork and the Gomocup managers speak) over a pair
// of streams: commands come in line by line, answers go out one line each and are flushed.
// Plain C++, standard library only; one thread reads and answers, and nothing else touches it.
//
// Boards of 15 and 20 cells a side are played (START 15, START 20); any other size, and
// RECTSTART, are refused with ERROR. Coordinates on the wire are x,y from 0, column first. The
// rule is five or more in a row; INFO rule with another rule is answered with a MESSAGE and
// played as five or more. The engine plays at Hard unless INFO level (our own key: easy, medium
// or hard) says otherwise, within timeout_turn and a share of time_left, less a margin; INFO seed
// restarts its random choices. Lines may end in CR LF, LF or CR; empty lines are ignored; a line
// that cannot be read is answered with ERROR and changes nothing. Nothing but protocol lines is
// written.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "engine/Engine.h"

namespace engine {

class EngineProtocol {
public:
    EngineProtocol(std::ostream& out, std::string version);

    // Answers one line (without its line end). False once END has come.
    bool Handle(const std::string& line);
    // Reads lines from in and answers them until END or the end of the input.
    void Run(std::istream& in);

    Level GetLevel() const { return fEngine.GetLevel(); }
    // The time the next move may take.
    std::chrono::milliseconds Budget() const;

private:
    struct Stone {
        int x;
        int y;
        bool own;
    };

    void Answer(const std::string& line);
    void Start(const std::string& arguments);
    void Info(const std::string& arguments);
    void Turn(const std::string& arguments);
    void BoardLine(const std::string& line);
    void TakeBack(const std::string& arguments);
    void Move();
    // Puts the stones of fStones on a new board; false when one does not fit.
    bool Rebuild();
    bool Started();

    std::ostream& fOut;
    std::string fVersion;
    Engine fEngine;
    int fSize = 0;  // 0 until START
    std::vector<Stone> fStones;
    bool fInBoard = false;
    bool fBoardFailed = false;
    long long fTimeoutTurn = 5000;  // ms; the managers' usual default
    long long fTimeLeft = 2147483647;
};

}  // namespace engine
