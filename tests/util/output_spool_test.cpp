#include "util/output_spool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixtures/lines.h"

namespace pixmeta {
namespace {

// Items of varied length, some of several lines and some with Windows-1252 bytes.
void AddItems(OutputSpool& spool) {
  for (int i = 0; i < 500; ++i) {
    std::string item = "item " + std::to_string(i);
    if (i % 7 == 0) item += "\r\nsecond line \xB0";
    if (i % 11 == 0) item += std::string(static_cast<size_t>(i), 'x');
    spool.Add(item);
  }
}

TEST(OutputSpool, TextBeyondTheBoundComesBackWholeAndInOrder) {
  OutputSpool inMemory;
  OutputSpool spilled(64);
  AddItems(inMemory);
  AddItems(spilled);
  EXPECT_EQ(spilled.Count(), 500u);
  const std::string expected = test::SpooledText(inMemory);
  EXPECT_THAT(expected, ::testing::StartsWith("item 0\r\nsecond line \xC2\xB0\r\nitem 1\r\n"));
  std::vector<std::string> pieces;
  ASSERT_TRUE(spilled.WriteTo([&pieces](std::string_view piece) {
    pieces.emplace_back(piece);
    return true;
  }));
  std::string joined;
  for (const std::string& piece : pieces) {
    EXPECT_TRUE(piece.ends_with("\r\n"));  // a consumer never gets half a line
    joined += piece;
  }
  EXPECT_EQ(joined, expected);
}

TEST(OutputSpool, AnEmptySpoolWritesNothingAndARefusedPieceStopsTheWrite) {
  OutputSpool spool(16);
  EXPECT_TRUE(spool.Empty());
  int calls = 0;
  EXPECT_TRUE(spool.WriteTo([&calls](std::string_view) { return ++calls > 0; }));
  EXPECT_EQ(calls, 0);
  AddItems(spool);
  EXPECT_FALSE(spool.WriteTo([&calls](std::string_view) { return ++calls > 1; }));
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace pixmeta
