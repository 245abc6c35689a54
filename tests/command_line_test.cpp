// How the ROM path is cut out of a Windows command line, and joined from
// POSIX arguments.
#include <gtest/gtest.h>

#include <string>

#include "command_line.h"

static std::string tail(const char* line) { return cut_command_line_tail(line); }

TEST(CommandLineTail, SkipsTheProgramName) {
    EXPECT_EQ(tail("vostrelina.exe PONG2"), "PONG2");
    EXPECT_EQ(tail(" \t vostrelina.exe \t  roms\\pong"), "roms\\pong");
    EXPECT_EQ(tail("vostrelina.exe"), "");
    EXPECT_EQ(tail(""), "");
}

TEST(CommandLineTail, QuotedProgramName) {
    EXPECT_EQ(tail("\"C:\\Program Files\\v.exe\" game"), "game");
    EXPECT_EQ(tail("\"C:\\Program Files\\v.exe\"game"), "game");
    EXPECT_EQ(tail("\"C:\\unclosed name game"), "");
}

TEST(CommandLineTail, RestIsKeptVerbatim) {
    EXPECT_EQ(tail("v.exe my rom  "), "my rom  ");
    EXPECT_EQ(tail("v.exe \"a b\" c"), "\"a b\" c");
}

static std::string stripped(const char* text, int capacity = 64) {
    char out[64];
    strip_enclosing_quotes(text, out, capacity);
    return out;
}

TEST(CommandLineTail, OnePairOfEnclosingQuotesIsDropped) {
    EXPECT_EQ(stripped("\"C:\\My Roms\\pong 2.ch8\""), "C:\\My Roms\\pong 2.ch8");
    EXPECT_EQ(stripped("PONG2"), "PONG2");
    EXPECT_EQ(stripped("\"a\" \"b\""), "\"a\" \"b\"");  // not one enclosed path
    EXPECT_EQ(stripped("\""), "\"");
    EXPECT_EQ(stripped("\"\""), "");
    EXPECT_EQ(stripped("abcdef", 4), "abc");
}

TEST(CommandLineTail, PosixArgumentsJoinedByBlanks) {
    char out[16];
    char program[] = "vostrelina", a[] = "my", b[] = "rom";
    char* argv[] = {program, a, b};
    ASSERT_TRUE(join_arguments(3, argv, out, sizeof out));
    EXPECT_STREQ(out, "my rom");
    ASSERT_TRUE(join_arguments(1, argv, out, sizeof out));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(join_arguments(3, argv, out, 6));  // "my rom" needs 7 bytes
}
