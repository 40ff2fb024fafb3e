#include "util/skip_search.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/code_page.h"

namespace pixmeta {
namespace {

TEST(SkipSearch, TablesHoldTheDistanceFromTheLastEarlierOccurrenceToTheEnd) {
  SkipTable t;
  BuildSkipTable("abcab", t);
  EXPECT_EQ(t['a'], 1);  // the later 'a' overrides the first
  EXPECT_EQ(t['b'], 3);  // the final 'b' does not count
  EXPECT_EQ(t['c'], 2);
  EXPECT_EQ(t['A'], 5);
  BuildSkipTable("q", t);
  EXPECT_EQ(t['q'], 0);
  EXPECT_EQ(t['r'], 1);
  BuildSkipTableNoCase("a\xE9z", t);
  EXPECT_EQ(t['A'], 2);
  EXPECT_EQ(t[0xC9], 1);
  EXPECT_EQ(t[0xE9], 3);
}

TEST(SkipSearch, TextIndexFromFindsTheFirstMatchAtOrAfterTheStart) {
  EXPECT_EQ(TextIndexFrom("xxabcabc", "abc", 1), 3u);
  EXPECT_EQ(TextIndexFrom("xxabcabc", "abc", 4), 6u);
  EXPECT_EQ(TextIndexFrom("xxabcabc", "abc", 7), 0u);
  EXPECT_EQ(TextIndexFrom("xxabcabc", "abc", 20), 0u);
  EXPECT_EQ(TextIndexFrom("abcabc", "c", 1), 3u);
  EXPECT_EQ(TextIndexFrom("ab", "abc", 1), 0u);
  EXPECT_EQ(TextIndexFrom("abc", "", 1), 0u);
  // Windows that must move by the table's distances, not by the pattern length.
  EXPECT_EQ(TextIndexFrom("abaabab", "abab", 1), 4u);
  EXPECT_EQ(TextIndexFrom(std::string(50, '.') + "needle", "needle", 1), 51u);
}

// Every start in texts of a small alphabet, against the plain search.
TEST(SkipSearch, AgreesWithAPlainSearchOnManyTexts) {
  uint32_t seed = 12345;
  const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  const std::string alphabet = "abA\xE9\xC9";
  for (int round = 0; round < 400; ++round) {
    std::string text(next() % 24, ' ');
    for (char& c : text) c = alphabet[next() % alphabet.size()];
    std::string pattern(1 + next() % 4, ' ');
    for (char& c : pattern) c = alphabet[next() % alphabet.size()];
    const std::string upperText = platform::UpperCase(text);
    const std::string upperPattern = platform::UpperCase(pattern);
    for (size_t start = 1; start <= text.size() + 1; ++start) {
      const size_t plain = text.find(pattern, start - 1);
      const size_t folded = upperText.find(upperPattern, start - 1);
      EXPECT_EQ(TextIndexFrom(text, pattern, start), plain == std::string::npos ? 0 : plain + 1)
          << text << " / " << pattern << " from " << start;
      EXPECT_EQ(TextIndexFromNoCase(text, pattern, start),
                folded == std::string::npos ? 0 : folded + 1)
          << text << " / " << pattern << " from " << start;
    }
  }
}

TEST(SkipSearch, CharacterSearchAndTheIgnoreCaseFlag) {
  EXPECT_EQ(FindTextFrom("JPG", "photo.jpg", true, 1), 7u);
  EXPECT_EQ(FindTextFrom("JPG", "photo.jpg", false, 1), 0u);
  EXPECT_EQ(FindTextFrom("\xF7", "\xD7", true, 1), 0u);  // division and multiplication signs
  EXPECT_EQ(CharIndexFrom("a.b.c", '.', 3), 4u);
  EXPECT_EQ(CharIndexFrom("a.b.c", '.', 5), 0u);
  EXPECT_EQ(CharIndexFrom("a.b.c", '.', 6), 0u);
  EXPECT_EQ(FindCharFrom('\xE9', "caf\xC9", true, 1), 4u);
  EXPECT_EQ(FindCharFrom('\xE9', "caf\xC9", false, 1), 0u);
  EXPECT_EQ(CharIndexFromNoCase("Abc", 'a', 0), 1u);  // a start of 0 counts as 1
}

TEST(SkipSearch, SubstituteTextReplacesLeftToRightWithoutOverlap) {
  EXPECT_EQ(SubstituteText("aaa", "aa", "b", true, 0), "ba");
  EXPECT_EQ(SubstituteText("xxx", "x", "yy", true, 1), "yyxx");
  EXPECT_EQ(SubstituteText("xxx", "x", "yy", true, 2), "yyyyx");
  EXPECT_EQ(SubstituteText("aa", "a", "aa", true, 0), "aaaa");  // not searched again
  EXPECT_EQ(SubstituteText("JPG jpg", "jpg", "x", true, 0), "JPG x");
  EXPECT_EQ(SubstituteText("JPG jpg \xC9t\xE9", "jpg", "x", false, 0), "x x \xC9t\xE9");
  EXPECT_EQ(SubstituteText("\xC9t\xE9", "\xE9", "e", false, 0), "ete");
  EXPECT_EQ(SubstituteText("abc", "", "x", true, 0), "abc");
  // A result much longer than the source.
  std::string expected;
  for (int i = 0; i < 500; ++i) expected += "bcd";
  EXPECT_EQ(SubstituteText(std::string(1001, 'a'), "aa", "bcd", true, 0), expected + "a");
}

TEST(SkipSearch, SubstituteEveryReplacesEveryCaseSensitiveMatch) {
  EXPECT_EQ(SubstituteEvery(" ", "", " a b  c "), "abc");
  EXPECT_EQ(SubstituteEvery("ab", "abab", "xab"), "xabab");
  EXPECT_EQ(SubstituteEvery("a", "b", "aAa"), "bAb");
  EXPECT_EQ(SubstituteEvery("", "x", "abc"), "abc");
}

}  // namespace
}  // namespace pixmeta
