#include "tevro/automation/automation_request.h"

#include <gtest/gtest.h>

using namespace tevro;
using Outcome = AutomationRequest::Outcome;

namespace {

const std::string kToken(64, 'a');

std::string line(const std::string& json) {
    return json + "\n";
}

} // namespace

TEST(AutomationRequest, ReadsOneLineWithTheTokenAndRefusesTheRest) {
    std::string good = R"({"token":")" + kToken + R"(","name":"get_state","arguments":{}})";
    std::string wrongDigit = kToken;
    wrongDigit[40] = 'b';
    std::string exact = R"({"token":")" + kToken + R"(","name":"get_state","arguments":{},"pad":")";
    exact += std::string(AutomationRequest::kMaxSize - exact.size() - 3, 'p') + "\"}\n";
    ASSERT_EQ(exact.size(), AutomationRequest::kMaxSize);
    std::string deep = R"({"token":")" + kToken + R"(","name":"x","arguments":{},"d":)" +
                       std::string(65, '[') + std::string(65, ']') + "}";
    std::string deepInString = R"({"token":")" + kToken + R"(","name":"x","arguments":{},"d":")" +
                               std::string(100, '[') + R"(\""})";

    struct Case {
        std::string received;
        Outcome outcome;
    } cases[] = {
        {line(good), Outcome::call},
        {good, Outcome::incomplete},
        {"", Outcome::incomplete},
        {exact, Outcome::call},
        {exact + "x", Outcome::tooLarge},
        {std::string(AutomationRequest::kMaxSize + 1, 'x'), Outcome::tooLarge},
        {line(good) + line(good), Outcome::malformed},
        {line(good) + " ", Outcome::malformed},
        {good + "\r\n", Outcome::call}, // the carriage return is JSON whitespace
        {line("not json"), Outcome::malformed},
        {line("[1]"), Outcome::malformed},
        {line("\"text\""), Outcome::malformed},
        {line("{}"), Outcome::malformed},
        {line(R"({"token":5,"name":"get_state","arguments":{}})"), Outcome::malformed},
        {line(R"({"token":"","name":"get_state","arguments":{}})"), Outcome::malformed},
        {line(R"({"token":")" + wrongDigit + R"(","name":"get_state","arguments":{}})"),
         Outcome::malformed},
        {line(R"({"token":")" + kToken + R"(x","name":"get_state","arguments":{}})"),
         Outcome::malformed},
        {line(R"({"token":")" + kToken.substr(1) + R"(","name":"nothing","arguments":{}})"),
         Outcome::malformed},
        {line(R"({"token":")" + kToken + R"(","name":"get_state"})"), Outcome::invalidCommand},
        {line(R"({"token":")" + kToken + R"(","name":"get_state","arguments":[]})"),
         Outcome::invalidCommand},
        {line(R"({"token":")" + kToken + R"(","name":7,"arguments":{}})"), Outcome::invalidCommand},
        {line(R"({"token":")" + kToken + R"(","arguments":{}})"), Outcome::invalidCommand},
        {line(deep), Outcome::malformed},
        {line(deepInString), Outcome::call},
        {line(std::string(200000, '[')), Outcome::malformed},
        {line(R"({"token":")" + kToken + "\xff" + R"(","name":"x","arguments":{}})"),
         Outcome::malformed},
    };
    for (const Case& c : cases)
        EXPECT_EQ(AutomationRequest::read(c.received, kToken).outcome, c.outcome)
            << c.received.substr(0, 120);

    AutomationRequest call = AutomationRequest::read(
        line(R"({"token":")" + kToken +
             R"(","name":"play_file","arguments":{"id":"a","file":2},"extra":1})"),
        kToken);
    EXPECT_EQ(call.name, "play_file");
    EXPECT_EQ(call.arguments, (Json{{"id", "a"}, {"file", 2}}));
    // Without a token of its own the server admits nobody.
    EXPECT_EQ(
        AutomationRequest::read(line(R"({"token":"","name":"x","arguments":{}})"), "").outcome,
        Outcome::malformed);
}
