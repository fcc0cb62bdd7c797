// Comparing whole report texts: a mismatch names the first line that differs and shows both
// versions of it with the line ends and TABs made visible. Expected texts live as golden files in
// tests/golden/, byte for byte as the program writes them, so a human reads them as a user would.
#pragma once

#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace zendrik {

namespace golden {

// A line with CR, LF, TAB and other control bytes written as escapes.
std::string Visible(std::string_view line);

// For EXPECT_PRED_FORMAT2: success when the texts are equal byte for byte, otherwise a message
// with the first differing line number and both lines.
::testing::AssertionResult SameText(const char* expectedExpr, const char* actualExpr,
                                    std::string_view expected, std::string_view actual);

// For EXPECT_PRED_FORMAT2: the text compared with the golden file `name` as SameText does. With
// ZENDRIK_UPDATE_GOLDEN=1 in the environment a differing or missing file is rewritten from the
// text instead, so a deliberate change of output is one run and a diff to review.
::testing::AssertionResult MatchesGolden(const char* nameExpr, const char* actualExpr,
                                         std::string_view name, std::string_view actual);

// The first line of text (CR LF included) that begins with prefix, or "" when there is none.
std::string LineStartingWith(std::string_view text, std::string_view prefix);

}  // namespace golden

#define EXPECT_SAME_TEXT(expected, actual) EXPECT_PRED_FORMAT2(::golden::SameText, expected, actual)
#define EXPECT_GOLDEN(name, actual) EXPECT_PRED_FORMAT2(::golden::MatchesGolden, name, actual)

}  // namespace zendrik
