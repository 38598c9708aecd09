#include "engine/EngineClient.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "engine/ProtocolText.h"

namespace engine {

namespace {

constexpr char kEnd[] = "\r\n";

std::string Upper(std::string word) {
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    return word;
}

// A line of the engine's as the user may read it in an alert: short, between quotes.
std::string Quoted(const std::string& line) {
    constexpr std::size_t kShown = 40;
    return "\"" + (line.size() > kShown ? line.substr(0, kShown) + "..." : line) + "\"";
}

std::string Duration(EngineClient::Milliseconds time) {
    const long long ms = time.count();
    return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

std::string Cell(int x, int y) {
    return std::to_string(x) + "," + std::to_string(y);
}

}  // namespace

EngineClient::EngineClient(std::string fileName, Settings settings)
    : fSettings(settings), fName(std::move(fileName)) {}

void EngineClient::Await(Answer answer, Clock::time_point now) {
    fAwaited.push_back({answer, now});
}

void EngineClient::Answered(Clock::time_point now) {
    fAwaited.pop_front();
    fBytesUnanswered = 0;
    // The next answer's time runs from now: the engine starts on it only now.
    if (!fAwaited.empty())
        fAwaited.front().since = now;
}

std::string EngineClient::Open(Clock::time_point now) {
    Await(Answer::Ok, now);
    Await(Answer::About, now);
    return "START " + std::to_string(kSize) + kEnd +                               //
           "INFO timeout_turn " + std::to_string(fSettings.turn.count()) + kEnd +  //
           "INFO timeout_match 0" + kEnd +                                         //
           "INFO max_memory " + std::to_string(kMaxMemory) + kEnd +                //
           "INFO rule 0" + kEnd +                                                  //
           "ABOUT" + kEnd;
}

std::string EngineClient::AskMove(const std::vector<Stone>& stones, Clock::time_point now) {
    std::string lines;
    const bool knownKept = std::ranges::all_of(fKnown, [&](const Stone& stone) {
        return std::ranges::find(stones, stone) != stones.end();
    });
    if (knownKept && stones.size() == fKnown.size() + 1) {
        const auto added = std::ranges::find_if(stones, [&](const Stone& stone) {
            return std::ranges::find(fKnown, stone) == fKnown.end();
        });
        if (!added->own)
            lines = "TURN " + Cell(added->x, added->y) + kEnd;
    }
    if (lines.empty() && stones.empty()) {
        // A new game: the engine forgets the last one.
        if (!fKnown.empty()) {
            lines = "START " + std::to_string(kSize) + kEnd;
            Await(Answer::Ok, now);
        }
        lines += std::string("BEGIN") + kEnd;
    } else if (lines.empty()) {
        lines = std::string("BOARD") + kEnd;
        for (const Stone& stone : stones)
            lines += Cell(stone.x, stone.y) + (stone.own ? ",1" : ",2") + kEnd;
        lines += std::string("DONE") + kEnd;
    }
    Await(Answer::Move, now);
    fKnown = stones;
    return lines;
}

void EngineClient::Feed(std::string_view bytes, Clock::time_point now) {
    for (const char c : bytes) {
        if (!fFault.empty())
            return;
        if (++fBytesUnanswered > kFloodBytes) {
            SetFault("flooded its output without answering");
        } else if (c == '\r' || c == '\n') {
            Line(fPartial, now);
            fPartial.clear();
        } else if (fPartial.size() < kMaxLine) {
            fPartial += c;
        } else {
            SetFault("flooded its output without answering");
        }
    }
}

void EngineClient::Line(const std::string& rawLine, Clock::time_point now) {
    const std::string line = Trim(rawLine);
    if (line.empty())
        return;
    const auto blank = line.find_first_of(" \t");
    const std::string word = Upper(line.substr(0, blank));
    const std::string rest = blank == std::string::npos ? "" : Trim(line.substr(blank));
    if (word == "MESSAGE") {
        fMessage = rest;
        ++fMessages;
        return;
    }
    if (word == "DEBUG")
        return;
    if (fAwaited.empty()) {
        SetFault("wrote a line nobody asked for: " + Quoted(line));
        return;
    }
    const bool error = word == "ERROR" || word == "UNKNOWN";
    switch (fAwaited.front().answer) {
        case Answer::Ok:
            if (line.size() == 2 && word == "OK") {
                fStarted = true;
                Answered(now);
            } else if (error) {
                SetFault("refused to start: " + Quoted(line));
            } else {
                SetFault("answered START with " + Quoted(line));
            }
            return;
        case Answer::About: {
            // An ERROR here is about a setting it did not take; UNKNOWN answers ABOUT.
            if (word == "ERROR")
                return;
            const std::string key = "name=\"";
            const auto name = line.find(key);
            const auto end = name == std::string::npos ? name : line.find('"', name + key.size());
            if (end != std::string::npos && end > name + key.size())
                fName = line.substr(name + key.size(), end - name - key.size());
            Answered(now);
            return;
        }
        case Answer::Move:
            if (!error)
                MoveLine(line, now);
            return;
    }
}

void EngineClient::MoveLine(const std::string& line, Clock::time_point now) {
    long long xy[2];
    if (!Numbers(line, 2, xy)) {
        SetFault("wrote " + Quoted(line) + " where a move was expected");
        return;
    }
    const std::string cell = Cell(static_cast<int>(std::min<long long>(xy[0], 1 << 30)),
                                  static_cast<int>(std::min<long long>(xy[1], 1 << 30)));
    if (xy[0] >= kSize || xy[1] >= kSize) {
        SetFault("played outside the board (" + cell + ")");
        return;
    }
    const int x = static_cast<int>(xy[0]);
    const int y = static_cast<int>(xy[1]);
    if (std::ranges::any_of(fKnown, [&](const Stone& s) { return s.x == x && s.y == y; })) {
        SetFault("played on an occupied cell (" + cell + ")");
        return;
    }
    fKnown.push_back({x, y, true});
    fMove = Move{x, y};
    Answered(now);
}

EngineClient::Clock::time_point EngineClient::Deadline() const {
    if (fAwaited.empty() || !fFault.empty())
        return Clock::time_point::max();
    const Awaited& awaited = fAwaited.front();
    const Milliseconds time = awaited.answer == Answer::Move ? fSettings.turn : kStartTime;
    return awaited.since + time + fSettings.grace;
}

void EngineClient::Tick(Clock::time_point now) {
    if (now <= Deadline())
        return;
    const Answer answer = fAwaited.front().answer;
    const Milliseconds time = answer == Answer::Move ? fSettings.turn : kStartTime;
    SetFault(std::string("did not answer ") +
             (answer == Answer::Move ? "with a move"
              : answer == Answer::Ok ? "START"
                                     : "ABOUT") +
             " within " + Duration(time + fSettings.grace));
}

void EngineClient::CannotRun(const std::string& reason) {
    SetFault("could not be started: " + reason);
}

void EngineClient::Ended(bool exited, int statusOrSignal) {
    const std::string how = exited ? "exit status " + std::to_string(statusOrSignal)
                                   : "signal " + std::to_string(statusOrSignal);
    if (!fStarted)
        SetFault("could not be started (" + how + ")");
    else
        SetFault(std::string(exited ? "ended" : "crashed") + " (" + how + ")");
}

std::optional<EngineClient::Move> EngineClient::TakeMove() {
    return std::exchange(fMove, std::nullopt);
}

void EngineClient::SetFault(const std::string& what) {
    if (fFault.empty())
        fFault = "The engine " + fName + " " + what + ".";
}

}  // namespace engine
