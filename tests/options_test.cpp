#include "driver/options.h"

#include <gtest/gtest.h>

#include <random>

namespace lexiform {
namespace {

TEST(ParseIntegerTest, AcceptsTheIntegerForms) {
  EXPECT_EQ(ParseInteger("0"), 0);
  EXPECT_EQ(ParseInteger("  12"), 12);
  EXPECT_EQ(ParseInteger("+7"), 7);
  EXPECT_EQ(ParseInteger("-3"), -3);
  EXPECT_EQ(ParseInteger("$1F"), 31);
  EXPECT_EQ(ParseInteger("x1f"), 31);
  EXPECT_EQ(ParseInteger("X10"), 16);
  EXPECT_EQ(ParseInteger("0x10"), 16);
  EXPECT_EQ(ParseInteger("0XfF"), 255);
  EXPECT_EQ(ParseInteger("-$10"), -16);
  EXPECT_EQ(ParseInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseInteger("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseInteger("$7FFFFFFF"), 2147483647);
  EXPECT_EQ(ParseInteger("007"), 7);
}

TEST(ParseIntegerTest, RejectsEverythingElse) {
  for (const char* text :
       {"",    " ",          "+",           "-",         "$",         "0x",
        "x",   "1 ",         "1a",          "12.0",      "abc",       "--1",
        "+-1", "2147483648", "-2147483649", "$80000000", "$FFFFFFFF", "99999999999999999999",
        "\t5", "1e3",        "$G"}) {
    EXPECT_FALSE(ParseInteger(text).has_value()) << '"' << text << '"';
  }
}

// Against a plain reference over many generated texts: the decimal form is what
// strtoll reads when nothing may follow and the value must fit.
TEST(ParseIntegerTest, DecimalAgreesWithReference) {
  std::mt19937 random(7);
  const std::string alphabet = " +-0123456789a";
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 13);
    for (int i = 0; i < length; ++i) {
      text += alphabet[random() % alphabet.size()];
    }
    std::size_t start = text.find_first_not_of(' ');
    std::optional<std::int32_t> expected;
    if (start != std::string::npos) {
      std::string body = text.substr(start);
      std::size_t digits = (body[0] == '+' || body[0] == '-') ? 1 : 0;
      bool allDigits =
          body.size() > digits && body.find_first_not_of("0123456789", digits) == std::string::npos;
      if (allDigits) {
        const long long value = std::stoll(body.substr(digits)) * (body[0] == '-' ? -1 : 1);
        if (value >= INT32_MIN && value <= INT32_MAX) {
          expected = static_cast<std::int32_t>(value);
        }
      }
    }
    EXPECT_EQ(ParseInteger(text), expected) << '"' << text << '"';
  }
}

TEST(ParseOptionsTest, FindsSubInAnyCaseAndTakesTheFollowingDepth) {
  EXPECT_FALSE(ParseOptions({"a.pas", "out"}).RecurseSubdirs);
  EXPECT_EQ(ParseOptions({"a.pas", "out"}).SubdirDepth, 30);

  const TOptions mixed = ParseOptions({"a.pas", "out", "-Sub", "2"});
  EXPECT_TRUE(mixed.RecurseSubdirs);
  EXPECT_EQ(mixed.SubdirDepth, 2);

  EXPECT_EQ(ParseOptions({"a", "b", "-SUB"}).SubdirDepth, 30);
  EXPECT_EQ(ParseOptions({"a", "b", "-sub", "deep"}).SubdirDepth, 30);
  EXPECT_EQ(ParseOptions({"a", "b", "-sub", "0"}).SubdirDepth, 0);
  EXPECT_EQ(ParseOptions({"a", "b", "-sub", "$10"}).SubdirDepth, 16);
  EXPECT_EQ(ParseOptions({"a", "b", "-sub", "-4"}).SubdirDepth, -4);
  EXPECT_FALSE(ParseOptions({"a", "b", "-subs"}).RecurseSubdirs);
  EXPECT_FALSE(ParseOptions({"a", "b", "sub"}).RecurseSubdirs);
}

TEST(ParseOptionsTest, LastOccurrenceWins) {
  EXPECT_EQ(ParseOptions({"a", "b", "-sub", "1", "-sub", "5"}).SubdirDepth, 5);
  EXPECT_EQ(ParseOptions({"a", "b", "-sub", "1", "-sub"}).SubdirDepth, 30);
  // "-sub -sub 3": the first takes "-sub" as its number (30), the second 3.
  EXPECT_EQ(ParseOptions({"-sub", "-sub", "3"}).SubdirDepth, 3);
}

} // namespace
} // namespace lexiform

namespace lexiform {
namespace {

using Args = std::vector<std::string>;

// The new switches may stand anywhere and are no positional arguments; "-sub" and its
// depth stay positional, so every run without the new switches reads as it always did.
TEST(ParseOptionsTest, SwitchesAnywherePositionalArgumentsAsBefore) {
  TOptions options = ParseOptions({"-HTML5", "a.pas", "-cp", "1250", "out", "-Lines", "-q"});
  EXPECT_EQ(options.Positional, (Args{"a.pas", "out"}));
  EXPECT_TRUE(options.Html5 && options.Lines && options.Quiet && !options.Strict);
  EXPECT_EQ(options.CodePage, "1250");
  EXPECT_TRUE(options.Unexpected.empty() && options.Unrecognised.empty());

  options = ParseOptions({"-sub", "2", "a.pas", "out"});
  EXPECT_EQ(options.Positional, (Args{"-sub", "2", "a.pas", "out"}));
  EXPECT_TRUE(options.RecurseSubdirs);
  EXPECT_EQ(options.SubdirDepth, 2);
  EXPECT_EQ(options.Unexpected, (Args{"a.pas", "out"}));

  options = ParseOptions({"a.pas", "out", "-strict", "-SUB", "-lines", "3", "-sub", "-x", "b.pas"});
  EXPECT_EQ(options.Positional, (Args{"a.pas", "out", "-SUB", "3", "-sub", "-x", "b.pas"}));
  EXPECT_EQ(options.SubdirDepth, 30); // the last "-sub" wins, and "-x" is no number
  EXPECT_EQ(options.Unrecognised, Args{});
  EXPECT_EQ(options.Unexpected, (Args{"3", "b.pas"})); // "3" follows "-lines", not "-sub"
  EXPECT_TRUE(ParseOptions({"a.pas", "out", "-nope"}).Unrecognised == Args{"-nope"});
  EXPECT_EQ(ParseOptions({"a.pas", "out", "-cp"}).CodePage, "");
  options = ParseOptions({"a.pas", "out", "-cp", "-sub", "4"}); // "-sub" is nobody's value
  EXPECT_EQ(options.CodePage, "");
  EXPECT_TRUE(options.RecurseSubdirs);
  EXPECT_EQ(options.SubdirDepth, 4);
}

} // namespace
} // namespace lexiform
