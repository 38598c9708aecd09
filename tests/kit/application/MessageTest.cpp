#include "kit/application/Message.h"

#include <gtest/gtest.h>

#include <string>

TEST(MessageTest, FieldsRoundTripWithTheirTypesChecked) {
    BMessage message(3001);
    ASSERT_EQ(message.AddString("par1", "8"), B_OK);
    ASSERT_EQ(message.AddString("par1", std::string("12\n")), B_OK);
    ASSERT_EQ(message.AddInt8("player", 2), B_OK);
    ASSERT_EQ(message.AddInt32("count", -70000), B_OK);
    ASSERT_EQ(message.AddPoint("where", BPoint(19.5f, 300)), B_OK);

    const char* text = nullptr;
    EXPECT_EQ(message.FindString("par1", &text), B_OK);
    EXPECT_STREQ(text, "8");
    int8 player = 0;
    EXPECT_EQ(message.FindInt8("player", &player), B_OK);
    EXPECT_EQ(player, 2);
    int32 count = 0;
    EXPECT_EQ(message.FindInt32("count", &count), B_OK);
    EXPECT_EQ(count, -70000);
    BPoint where;
    EXPECT_EQ(message.FindPoint("where", &where), B_OK);
    EXPECT_EQ(where, BPoint(19.5f, 300));

    // A field keeps its type: other types neither read nor add.
    EXPECT_EQ(message.FindInt32("player", &count), B_BAD_TYPE);
    EXPECT_EQ(message.FindString("player", &text), B_BAD_TYPE);
    EXPECT_EQ(message.AddInt32("player", 1), B_BAD_TYPE);
    EXPECT_EQ(message.FindInt8("missing", &player), B_NAME_NOT_FOUND);
    EXPECT_EQ(message.AddString("x", static_cast<const char*>(nullptr)), B_BAD_VALUE);
}

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
