#include "kit/application/Message.h"

#include <gtest/gtest.h>

#include <string>

TEST(MessageTest, ACopyIsIndependentOfItsOriginal) {
    // More fields than a message holds inside itself, each with two values.
    BMessage original(6001);
    original.AddString("msg", "hello");
    auto name = [](int32 n) { return "field " + std::to_string(n); };
    for (int32 n = 1; n <= 6; ++n) {
        original.AddInt32(name(n).c_str(), n);
        original.AddInt32(name(n).c_str(), -n);
    }
    BMessage copy = original;
    original = BMessage(6002);
    original.AddString("msg", "changed");
    original.AddInt32("field 6", 60);

    const char* text = nullptr;
    EXPECT_TRUE(copy.FindString("msg", &text) == B_OK && std::string(text) == "hello");
    EXPECT_EQ(copy.what, 6001u);
    EXPECT_EQ(copy.CountNames(), 7);
    for (int32 n = 1; n <= 6; ++n) {
        int32 value = 0;
        EXPECT_TRUE(copy.FindInt32(name(n).c_str(), &value) == B_OK && value == n) << n;
    }
    int32 value = 0;
    EXPECT_TRUE(original.FindInt32("field 6", &value) == B_OK && value == 60);
    EXPECT_EQ(original.FindInt32("field 5", &value), B_NAME_NOT_FOUND);
}
