#include "platform/Utf8.h"

#include <gtest/gtest.h>

using brisklet::isValidUtf8;
using brisklet::repairUtf8;

TEST(Utf8Repair, KeepsValidTextUnchanged) {
    for (const char* text : {"", "plain", "caf\xC3\xA9", "\xF0\x9F\x98\x80 emoji", "\xE2\x82\xAC"}) {
        EXPECT_TRUE(isValidUtf8(text)) << text;
        EXPECT_EQ(repairUtf8(text), text);
    }
}

TEST(Utf8Repair, ReplacesEachInvalidByteSoNothingIsDropped) {
    EXPECT_EQ(repairUtf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(repairUtf8("\xC3"), "\xEF\xBF\xBD");            // truncated sequence at the end
    EXPECT_EQ(repairUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD"); // overlong slash
    EXPECT_EQ(repairUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"); // surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
}
