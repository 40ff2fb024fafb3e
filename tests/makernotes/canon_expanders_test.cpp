#include "makernotes/canon_expanders.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pixmeta::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Recorder : public SubFieldSink {
 public:
  void AddTextEntry(const TagRow& row, std::string_view text, int32_t dataType) override {
    EXPECT_EQ(dataType, kTypeAscii);
    EXPECT_EQ(row.desc, row.name);
    lines.push_back(std::string(row.name) + "=" + std::string(text));
  }
  std::vector<std::string> lines;
};

// Numbers as the value formatter joins them.
std::string Joined(const std::vector<int>& values) {
  std::string text;
  for (const int v : values) {
    if (!text.empty()) text += ", ";
    text += std::to_string(v);
  }
  return text;
}

class CanonExpanders : public ::testing::Test {
 protected:
  std::vector<std::string> Run(TagDecoder expander, std::string_view value) {
    DecodeContext context{.multiLine = false, .sink = &recorder_};
    EXPECT_EQ(expander(value, context), value);
    EXPECT_TRUE(context.multiLine);
    return recorder_.lines;
  }
  Recorder recorder_;
};

TEST_F(CanonExpanders, CameraSettingsOfAShortArray) {
  EXPECT_THAT(Run(ExpandCameraSettings, "2, 1, 0, 3"),
              ElementsAre("Macro_mode=Macro", "Self_Timer= 0", "Compression_Rate=Basic"));
}

TEST_F(CanonExpanders, CameraSettingsEverySubFieldInOrder) {
  std::vector<int> v(46, 7);  // 7 is in none of the lists that these positions use
  v[1] = 2;
  v[2] = 10;
  v[3] = 5;
  v[4] = 16;
  v[5] = 1;
  v[7] = 6;
  v[10] = 5;
  v[11] = 10;
  v[13] = 65535;
  v[14] = 0;
  v[15] = 1;
  v[16] = 15;
  v[17] = 0;
  v[19] = 1;
  v[20] = 65535;
  v[23] = 300;
  v[24] = 70;
  v[25] = 10;
  v[28] = 0;
  v[32] = 0;
  EXPECT_THAT(
      Run(ExpandCameraSettings, Joined(v)),
      ElementsAre("Macro_mode=Normal", "Self_Timer= 10", "Compression_Rate=SuperFine",
                  "Flash_Mode=External flash", "Drive_Mode=Continuous", "Focus_Mode=MF",
                  "Image_Size=2 MPixel", "Easy_Shoot=Macro/Close-Up", "Contrast=Low",
                  "Saturation=Normal", "Sharpness=High", "CCD_ISO=auto", "Metering_Mode=Normal",
                  "AF_Point=High", "Exposure_Mode=Low", "Long_focal= 300", "Short_focal= 70",
                  "Focal_Units= 10", "Flash_Details= 0", "Focus_Mode=Normal"));
}

TEST_F(CanonExpanders, CameraSettingsValuesOutsideTheListsAddNothing) {
  std::vector<int> v(33, 9);
  v[2] = 0;
  EXPECT_THAT(Run(ExpandCameraSettings, Joined(v)),
              ElementsAre("Self_Timer= 0", "Easy_Shoot=Sports", "Long_focal= 9", "Short_focal= 9",
                          "Focal_Units= 9", "Flash_Details= 9"));
}

TEST_F(CanonExpanders, ShotInfo) {
  std::vector<int> v(34, 3);
  v[7] = 4;
  v[8] = 0;
  v[10] = 12;
  v[13] = 12291;
  v[15] = 65484;
  v[18] = 256;
  EXPECT_THAT(Run(ExpandShotInfo, Joined(v)),
              ElementsAre("White_balance=Flourescent", "Sequence_Number= 0", "OpticalZoom_Step= 12",
                          "AF_point= 12291", "Flash_bias=-1.67 EV", "Distance= 256"));
}

TEST_F(CanonExpanders, CustomFunctionsByFunctionNumberAndSetting) {
  EXPECT_THAT(
      Run(ExpandCustomFunctions, "20, 257, 512, 1537, 1794, 1793, 3585, 3841, 4097, 773, x, -257"),
      ElementsAre("Noise_Reduction= On", "Shutter_AE_Lock_Button=AF/AE lock",
                  "AV_Shutter_Speed= 1/200 (fixed)", "AEB_Sequence= -", "Superimposed_Display= Off",
                  "Shutter_Release_wo_CF_Card=Disable"));
}

TEST_F(CanonExpanders, AnEmptyValueAddsNothing) {
  EXPECT_THAT(Run(ExpandCameraSettings, ""), IsEmpty());
  EXPECT_THAT(Run(ExpandShotInfo, ""), IsEmpty());
  EXPECT_THAT(Run(ExpandCustomFunctions, ""), IsEmpty());
}

TEST(CanonExpandersWithoutSink, StillMarkTheValueMultiLine) {
  DecodeContext context;
  ExpandCameraSettings("2, 1, 0, 3", context);
  EXPECT_TRUE(context.multiLine);
}

}  // namespace
}  // namespace pixmeta::test
