// CP932 byte strings: conversion to and from UTF-8, cached literals, cutting at byte limits.
#include <gtest/gtest.h>

#include "model/cp932text.h"

namespace {

TEST(Cp932, ConvertsBothWays)
{
    struct Case {
        const char* utf8;
        const char* cp932;
    } cases[] = {
        {"", ""},
        {"ABC 123", "ABC 123"},
        {"良", "\x97\xC7"},
        {"不良", "\x95\x73\x97\xC7"},
        {"３相一括", "\x82\x52\x91\x8A\x88\xEA\x8A\x87"},
        {"　", "\x81\x40"},
        {"～", "\x81\x60"},
        {"ｱｲ", "\xB1\xB2"},           // half-width katakana are single bytes
        {"①", "\x87\x40"},            // a CP932 extension
        {"表示", "\x95\x5C\x8E\xA6"}, // trail byte 0x5C, the ASCII backslash
    };
    for (const auto& c : cases) {
        auto cp = cp932::fromUtf8(c.utf8);
        ASSERT_TRUE(cp) << c.utf8;
        EXPECT_EQ(*cp, c.cp932) << c.utf8;
        EXPECT_EQ(cp932::toUtf8(c.cp932), c.utf8) << c.utf8;
    }
    // Both the wave dash an input method may produce and the full-width tilde are accepted.
    EXPECT_EQ(cp932::fromUtf8("〜"), std::optional<std::string>("\x81\x60"));
}

TEST(Cp932, RefusesTextWithoutCp932Form)
{
    for (const char* text : {"€", "😀", "a\xC3", "\xFF\xFE", "ok 한"})
        EXPECT_FALSE(cp932::fromUtf8(text)) << text;
}

TEST(Cp932, InvalidBytesShowAsReplacement)
{
    // A lone lead byte at the end, a byte that is never valid, a lead byte with a bad trail.
    EXPECT_EQ(cp932::toUtf8("A\x97"), "A\xEF\xBF\xBD");
    EXPECT_EQ(cp932::toUtf8("\xA0Z"), "\xEF\xBF\xBDZ");
    EXPECT_EQ(cp932::toUtf8("\x97\xC7\x97"), "良\xEF\xBF\xBD");
    const std::string bad("\x81\x0A"
                          "B",
                          3);
    const std::string shown = cp932::toUtf8(bad);
    EXPECT_EQ(shown.substr(0, 3), "\xEF\xBF\xBD");
    EXPECT_EQ(shown.back(), 'B');
    // Embedded NUL bytes are kept.
    EXPECT_EQ(cp932::toUtf8(std::string("a\0\x97\xC7", 4)), std::string("a\0良", 5));
}

TEST(Cp932, LiteralsAreCachedAndChecked)
{
    const std::string& a = cp932::lit("注意");
    const std::string& b = cp932::lit("注意");
    EXPECT_EQ(&a, &b);
    EXPECT_EQ(a, "\x92\x8D\x88\xD3");
    EXPECT_THROW(cp932::lit("€"), std::logic_error);
}

TEST(Cp932, CutToBytesKeepsCharactersWhole)
{
    const std::string text = "ab" + cp932::lit("良") + "c"; // a b 97 C7 c
    struct Case {
        std::size_t max;
        std::string expected;
    } cases[] = {
        {0, ""}, {2, "ab"}, {3, "ab"}, {4, "ab\x97\xC7"}, {5, text}, {50, text},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cp932::cutToBytes(text, c.max), c.expected) << c.max;
    // A trail byte in the ASCII range is never taken for a character of its own.
    EXPECT_EQ(cp932::cutToBytes("\x95\x5C", 1), "");
    // A lead byte left alone at the end of damaged text counts as one byte.
    EXPECT_EQ(cp932::cutToBytes("a\x97", 2), "a\x97");
}

} // namespace
