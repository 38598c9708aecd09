#include "kit/application/Message.h"

#include <gtest/gtest.h>

#include <string>

TEST(MessageTest, ACopyIsIndependentOfItsOriginal) {
    // More fields than the message holds inside itself, the later ones with several values.
    BMessage original(6001);
    original.AddString("msg", "hello");
    for (int32 n = 1; n <= 6; ++n) {
        const std::string name = "field " + std::to_string(n);
        original.AddInt32(name.c_str(), n);
        original.AddInt32(name.c_str(), -n);
    }
    BMessage copy = original;
    original = BMessage(6002);
    EXPECT_TRUE(original.IsEmpty());
    original.AddString("msg", "changed");
    original.AddInt32("field 6", 60);

    const char* text = nullptr;
    ASSERT_EQ(copy.FindString("msg", &text), B_OK);
    EXPECT_STREQ(text, "hello");
    EXPECT_EQ(copy.what, 6001u);
    EXPECT_EQ(copy.CountNames(), 7);
    for (int32 n = 1; n <= 6; ++n) {
        const std::string name = "field " + std::to_string(n);
        int32 value = 0;
        EXPECT_EQ(copy.FindInt32(name.c_str(), &value), B_OK);
        EXPECT_EQ(value, n);
    }
    int32 value = 0;
    EXPECT_EQ(original.FindInt32("field 6", &value), B_OK);
    EXPECT_EQ(value, 60);
    EXPECT_EQ(original.FindInt32("field 5", &value), B_NAME_NOT_FOUND);
}
