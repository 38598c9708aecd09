#include "engine/EngineProtocol.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using engine::EngineProtocol;

// "a; b; c" as its parts.
std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    size_t at = 0;
    for (size_t end; (end = text.find("; ", at)) != std::string::npos; at = end + 2)
        parts.push_back(text.substr(at, end - at));
    parts.push_back(text.substr(at));
    return parts;
}

class EngineProtocolTest : public testing::Test {
protected:
    // Each exchange, "line; line... => regex", sends its lines and matches what they are answered
    // (lines joined by '|', empty for none, as without " => ").
    void Play(std::initializer_list<std::string> session) {
        for (const std::string& exchange : session) {
            const size_t arrow = exchange.find(" => ");
            const std::string wanted = arrow == std::string::npos ? "" : exchange.substr(arrow + 4);
            out.str("");
            for (const std::string& line : Split(exchange.substr(0, arrow)))
                alive = protocol.Handle(line) && alive;
            std::string answer = out.str();
            if (answer.ends_with('\n'))
                answer.pop_back();
            std::ranges::replace(answer, '\n', '|');
            EXPECT_TRUE(std::regex_match(answer, std::regex(wanted)))
                << "> " << exchange << "\n< " << answer;
        }
    }

    std::ostringstream out;
    EngineProtocol protocol{out, "1.4"};
    bool alive = true;  // no line has ended the session
};

// A manager's session; the BOARDs are answered with X's own five, then by blocking O's four.
TEST_F(EngineProtocolTest, AnswersARecordedSession) {
    Play({"START 15 => OK",
          "INFO timeout_turn 300; INFO timeout_match 100000; INFO time_left 100000; "
          "INFO max_memory 83886080; INFO game_type 1; INFO rule 0; INFO folder /tmp; "
          "INFO evaluate 3,4; INFO something_new 12",
          "ABOUT => name=\"Quillet\", version=\"1\\.4\", author=\"[^\"]+\", country=\"[^\"]*\"",
          "BEGIN => 7,7", "TURN 8,8 => [0-9]+,[0-9]+", "TAKEBACK 8,8 => OK",
          "BOARD; 7,7,1; 8,7,2; 7,8,1; 8,8,2; 7,9,1; 8,9,2; 7,10,1; 8,10,2; DONE => 7,(6|11)",
          "RESTART => OK", "BOARD; 0,0,2; 0,1,2; 0,2,2; 0,3,2; 5,5,1; DONE => 0,4",
          "START 20 => OK", "TURN 19,19 => [0-9]+,[0-9]+", "START 10 => ERROR .*",
          "RECTSTART 20,15 => ERROR .*", "INFO rule 1 => MESSAGE .*", "PLAY 3,3 => UNKNOWN .*"});
    EXPECT_TRUE(alive);
    Play({"END"});
    EXPECT_FALSE(alive);
}

// A move's time keeps a margin within the turn's time and the game's time left.
TEST_F(EngineProtocolTest, KeepsAMarginWithinTurnAndGameTime) {
    using testing::AllOf, testing::Gt, testing::Le, testing::Lt;
    Play({"INFO timeout_turn 1000"});
    EXPECT_THAT(protocol.Budget().count(), AllOf(Gt(800), Lt(1000)));
    Play({"INFO time_left 2000"});
    EXPECT_THAT(protocol.Budget().count(), Le(100));
    Play({"INFO time_left 2147483647; INFO timeout_turn 0"});
    EXPECT_THAT(protocol.Budget().count(), AllOf(Gt(0), Le(10)));
}

// Moves before START, and lines that cannot be read (7,7 is the engine's own first stone; BEGIN
// comes with stones on the board): each is answered with one ERROR (or UNKNOWN) line and changes
// nothing, and the game goes on.
TEST_F(EngineProtocolTest, RefusesMovesBeforeStartAndSurvivesJunk) {
    for (const std::string& line : Split("BEGIN; TURN 3,3; BOARD; RESTART; TAKEBACK 1,1"))
        Play({line + " => ERROR [^|]*"});
    Play({"START 15 => OK", "INFO timeout_turn 100", "BEGIN => 7,7"});
    for (const std::string& junk :
         Split("TURN; TURN 1; TURN a,b; TURN 1,2,3; TURN -1,2; TURN 15,0; "
               "TURN 3,99999999999999999999; TURN 1,,2; TURN 1,2,; TURN 7,7; START; START x; "
               "START 0; START -15; START 99999999999999999999; INFO; INFO timeout_turn; "
               "INFO timeout_turn soon; INFO level impossible; TAKEBACK 3,3; TAKEBACK; BEGIN; "
               "\x01\x02\x7f; \xff\xfe garbage; turnip 5,5"))
        Play({junk + " => (ERROR|UNKNOWN) [^|]*"});
    EXPECT_TRUE(alive);
    // A BOARD with a line that cannot be read is refused as a whole at DONE.
    Play({"TURN 0,0 => [0-9]+,[0-9]+",
          "BOARD; 1,1,1; 1,1,2; 3,3,3; DONE => ERROR .*\\|ERROR .*\\|ERROR .*", "BEGIN => 7,7"});
}

// Whole inputs, read as the program reads standard input.
TEST(EngineProtocolRunTest, ReadsEveryLineEnd) {
    auto run = [](const std::string& input) {
        std::istringstream in(input);
        std::ostringstream out;
        EngineProtocol(out, "1.4").Run(in);
        return out.str();
    };
    for (const char* input :
         {"START 15\nBEGIN\nEND\nABOUT\n", "START 15\r\nBEGIN\r\nEND\r\n", "START 15\rBEGIN\rEND\r",
          "\n\r\n  \nSTART 15\n\n\nBEGIN\n", "START 15\nBEGIN"})
        EXPECT_EQ(run(input), "OK\n7,7\n") << input;
    EXPECT_EQ(run(""), "");
    EXPECT_EQ(run(std::string(100000, 'x') + "\nSTART 15\n"),
              "UNKNOWN " + std::string(4096, 'X') + "\nOK\n");
}

}  // namespace
