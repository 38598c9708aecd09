#include "engine/EngineProtocol.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using engine::EngineProtocol;

// A line sent and what comes back: a regular expression for the whole answer (lines joined by
// '|'), empty for no answer.
struct Exchange {
    std::string line;
    std::string answer;
};

constexpr char kMove[] = "[0-9]+,[0-9]+";

class EngineProtocolTest : public testing::Test {
protected:
    // Sends the line and returns what was written in answer, lines joined by '|'.
    std::string Send(const std::string& line) {
        out.str("");
        alive = protocol.Handle(line);
        std::string answer = out.str();
        if (!answer.empty() && answer.back() == '\n')
            answer.pop_back();
        for (char& c : answer)
            if (c == '\n')
                c = '|';
        return answer;
    }
    void Play(const std::vector<Exchange>& session) {
        for (const Exchange& e : session) {
            const std::string answer = Send(e.line);
            EXPECT_TRUE(std::regex_match(answer, std::regex(e.answer)))
                << "> " << e.line << "\n< " << answer << "\nwanted " << e.answer;
        }
    }

    std::ostringstream out;
    EngineProtocol protocol{out, "1.4"};
    bool alive = true;
};

TEST_F(EngineProtocolTest, AnswersARecordedSession) {
    Play({
        {"START 15", "OK"},
        {"INFO timeout_turn 300", ""},
        {"INFO timeout_match 100000", ""},
        {"INFO time_left 100000", ""},
        {"INFO max_memory 83886080", ""},
        {"INFO game_type 1", ""},
        {"INFO rule 0", ""},
        {"INFO folder /tmp", ""},
        {"INFO evaluate 3,4", ""},
        {"INFO something_new 12", ""},
        {"ABOUT", "name=\"Quillet\", version=\"1\\.4\", author=\"[^\"]+\", country=\"[^\"]*\""},
        {"BEGIN", "7,7"},
        {"TURN 8,8", kMove},
        {"TAKEBACK 8,8", "OK"},
        {"BOARD", ""},
        {"7,7,1", ""},
        {"8,7,2", ""},
        {"7,8,1", ""},
        {"8,8,2", ""},
        {"7,9,1", ""},
        {"8,9,2", ""},
        {"7,10,1", ""},
        {"8,10,2", ""},
        {"DONE", "7,(6|11)"},  // its own five
        {"RESTART", "OK"},
        {"BOARD", ""},
        {"0,0,2", ""},
        {"0,1,2", ""},
        {"0,2,2", ""},
        {"0,3,2", ""},
        {"5,5,1", ""},
        {"DONE", "0,4"},  // the opponent's four, blocked
        {"START 20", "OK"},
        {"TURN 19,19", kMove},
        {"START 10", "ERROR .*"},
        {"RECTSTART 20,15", "ERROR .*"},
        {"INFO rule 1", "MESSAGE .*"},
        {"PLAY 3,3", "UNKNOWN .*"},
    });
    EXPECT_TRUE(alive);
    Send("END");
    EXPECT_FALSE(alive);
}

// Lines that cannot be read: each is answered with one ERROR (or UNKNOWN) line and changes
// nothing, and the game goes on.
const char* const kJunk[] = {
    "TURN",
    "TURN 1",
    "TURN a,b",
    "TURN 1,2,3",
    "TURN -1,2",
    "TURN 15,0",
    "TURN 3,99999999999999999999",
    "TURN 1,,2",
    "TURN 1,2,",
    "TURN 7,7",  // taken by the engine's own first move
    "START",
    "START x",
    "START 0",
    "START -15",
    "START 99999999999999999999",
    "INFO",
    "INFO timeout_turn",
    "INFO timeout_turn soon",
    "INFO level impossible",
    "TAKEBACK 3,3",
    "TAKEBACK",
    "BEGIN",  // stones are on the board
    "\x01\x02\x7f",
    "\xff\xfe garbage",
    "turnip 5,5",
};

TEST_F(EngineProtocolTest, SurvivesJunk) {
    ASSERT_EQ(Send("START 15"), "OK");
    Send("INFO timeout_turn 100");
    ASSERT_EQ(Send("BEGIN"), "7,7");
    for (const char* junk : kJunk) {
        const std::string answer = Send(junk);
        EXPECT_TRUE(std::regex_match(answer, std::regex("(ERROR|UNKNOWN) [^|]*")))
            << "> " << junk << "\n< " << answer;
        EXPECT_TRUE(alive) << junk;
    }
    EXPECT_TRUE(std::regex_match(Send("TURN 0,0"), std::regex(kMove)));
    // A BOARD with a line that cannot be read is refused as a whole at DONE.
    Send("BOARD");
    EXPECT_EQ(Send("1,1,1"), "");
    EXPECT_TRUE(std::regex_match(Send("1,1,2"), std::regex("ERROR .*")));
    EXPECT_TRUE(std::regex_match(Send("3,3,3"), std::regex("ERROR .*")));
    EXPECT_TRUE(std::regex_match(Send("DONE"), std::regex("ERROR .*")));
    EXPECT_EQ(Send("BEGIN"), "7,7");
}

TEST_F(EngineProtocolTest, RefusesMovesBeforeStart) {
    for (const char* line : {"BEGIN", "TURN 3,3", "BOARD", "RESTART", "TAKEBACK 1,1"})
        EXPECT_TRUE(std::regex_match(Send(line), std::regex("ERROR .*"))) << line;
}

// Whole inputs, read as the program reads standard input.
struct Stream {
    const char* what;
    std::string input;
    std::string output;
};

TEST(EngineProtocolRunTest, ReadsEveryLineEnd) {
    const Stream streams[] = {
        {"LF", "START 15\nBEGIN\nEND\nABOUT\n", "OK\n7,7\n"},
        {"CR LF", "START 15\r\nBEGIN\r\nEND\r\n", "OK\n7,7\n"},
        {"CR", "START 15\rBEGIN\rEND\r", "OK\n7,7\n"},
        {"empty lines", "\n\r\n  \nSTART 15\n\n\nBEGIN\n", "OK\n7,7\n"},
        {"no line end at the end", "START 15\nBEGIN", "OK\n7,7\n"},
        {"nothing", "", ""},
        {"a line too long", std::string(100000, 'x') + "\nSTART 15\n",
         "UNKNOWN " + std::string(4096, 'X') + "\nOK\n"},
    };
    for (const Stream& s : streams) {
        std::istringstream in(s.input);
        std::ostringstream out;
        EngineProtocol protocol(out, "1.4");
        protocol.Run(in);
        EXPECT_EQ(out.str(), s.output) << s.what;
    }
}

TEST(EngineProtocolBudgetTest, KeepsAMarginWithinTurnAndGameTime) {
    std::ostringstream out;
    EngineProtocol protocol(out, "1.4");
    protocol.Handle("INFO timeout_turn 1000");
    EXPECT_LT(protocol.Budget().count(), 1000);
    EXPECT_GT(protocol.Budget().count(), 800);
    protocol.Handle("INFO time_left 2000");
    EXPECT_LE(protocol.Budget().count(), 100);
    protocol.Handle("INFO time_left 2147483647");
    protocol.Handle("INFO timeout_turn 0");
    EXPECT_GT(protocol.Budget().count(), 0);
    EXPECT_LE(protocol.Budget().count(), 10);
}

}  // namespace
