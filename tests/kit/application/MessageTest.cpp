#include "kit/application/Message.h"

#include <gtest/gtest.h>

#include <string>

TEST(MessageTest, ACopyHoldsEveryFieldAndIsIndependentOfItsOriginal) {
    // More fields than a message holds inside itself.
    BMessage original(6001);
    auto name = [](int32 n) { return "field " + std::to_string(n); };
    for (int32 n = 1; n <= 6; ++n)
        original.AddInt32(name(n).c_str(), n);
    BMessage copy = original;
    original = BMessage(6002);
    original.AddInt32("field 6", 60);
    EXPECT_EQ(copy.what, 6001u);
    EXPECT_EQ(copy.CountNames(), 6);
    for (int32 n = 1; n <= 6; ++n) {
        int32 value = 0;
        EXPECT_TRUE(copy.FindInt32(name(n).c_str(), &value) == B_OK && value == n) << n;
    }
    EXPECT_EQ(original.CountNames(), 1);
}
