#include "actions/json_output.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace pixmeta {
namespace {

TEST(AddJsonMember, NumbersAndWordsBareEverythingElseQuotedAndEscaped) {
  const std::pair<std::string, std::string> cases[] = {
      {"0", "0"},           {"-0.5", "-0.5"},         {"12.75", "12.75"},
      {"true", "true"},     {"false", "false"},       {"007", "\"007\""},
      {"True", "\"True\""}, {"1e5", "\"1e5\""},       {"+1", "\"+1\""},
      {"0.", "\"0.\""},     {"-", "\"-\""},           {"1.2.3", "\"1.2.3\""},
      // Number texts that JSON has no number for.
      {"-.5", "\"-.5\""},   {"-05", "\"-05\""},       {"-0", "-0"},
      {"  42 \r\n", "42"},  {"a\x1f" "b", "\"a\\u001fb\""}, {"\xE9t\xE9", "\"\xE9t\xE9\""},
  };
  for (const auto& [value, written] : cases) {
    std::string members;
    AddJsonMember(members, "k", value);
    EXPECT_EQ(members, "\"k\":" + written) << value;
  }
}

TEST(AddJsonMember, EmptyValuesAndRepeatedKeysAddNothing) {
  std::string members;
  AddJsonMember(members, "a", " \t ");
  EXPECT_EQ(members, "");
  AddJsonMember(members, " a ", "1");
  AddJsonMember(members, "a", "2");
  AddJsonMember(members, "A", "3");  // the key test counts letter case
  AddJsonMember(members, "b", "x");
  EXPECT_EQ(members, "\"a\":1,\"A\":3,\"b\":\"x\"");
}

}  // namespace
}  // namespace pixmeta
