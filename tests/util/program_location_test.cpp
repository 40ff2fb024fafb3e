#include "util/program_location.h"

#include <gtest/gtest.h>

namespace pixmeta {
namespace {

TEST(ProgramLocation, BaseNameDropsTwelveCharactersFromTheFirstPoint) {
  EXPECT_EQ(ProgramBaseName("pixmeta"), "pixmeta");
  EXPECT_EQ(ProgramBaseName("pixmeta.exe"), "pixmeta");
  EXPECT_EQ(ProgramBaseName("pixmeta.0123456789abcdef"), "pixmetabcdef");
  const ProgramLocation here = FindProgramLocation();
  EXPECT_EQ(here.programDir.front(), '/');
  EXPECT_EQ(here.programDir.back(), '/');
  EXPECT_EQ(here.programBaseName, "pixmeta_tests");
}

}  // namespace
}  // namespace pixmeta
