#include "makernotes/maker_tables.h"

#include <array>

#include "makernotes/canon_expanders.h"
#include "makernotes/nikon_formatters.h"

namespace pixmeta {
namespace {

// One row as written below; a row without a description uses its name.
struct MakerRow {
  uint16_t tag;
  std::string_view name;
  std::string_view desc = {};
  std::string_view codes = {};
  TagDecoder decoder = nullptr;
};

constexpr std::string_view kOffOn = "0:Off,1:On";

constexpr MakerRow kNikonA[] = {
    {0x0002, "FamilyID"},
    {0x0003, "Quality", {},
     "1:Vga Basic,2:Vga Normal,3:Vga Fine,4:SXGA Basic,5:SXGA Normal,6:SXGA Fine,"
     "10:2 Mpixel Basic,11:2 Mpixel Normal,12:2 Mpixel Fine"},
    {0x0004, "ColorMode", {}, "1:Color,2:Monochrome"},
    {0x0005, "ImageAdjustment", {}, "0:Normal,1:Bright+,2:Bright-,3:Contrast+,4:Contrast-"},
    {0x0006, "ISOSpeed", {}, "0:ISO80,2:ISO160,4:ISO320,5:ISO100"},
    {0x0007, "WhiteBalance", {},
     "0:Auto,1:Preset,2:Daylight,3:Incandescense,4:Fluorescence,5:Cloudy,6:SpeedLight"},
    {0x0008, "Focus"},
    {0x0009, "Skip"},
    {0x000A, "DigitalZoom"},
    {0x000B, "Converter", {}, "0:Not used,1:Used"},
    {0x0F00, "Skip"},
};

constexpr MakerRow kNikonB[] = {
    {0x0001, "FamilyID", "Family ID"},
    {0x0002, "ISOSpeed", "ISO Speed"},
    {0x0003, "ColorMode", "Color Mode"},
    {0x0004, "Quality"},
    {0x0005, "WhiteBalance", "White Balance"},
    {0x0006, "ImageSharpening", "Image Sharpening"},
    {0x0007, "FocusMode", "Focus Mode"},
    {0x0008, "FlashSetting", "Flash Setting"},
    {0x0009, "AutoFlashMode", "Auto Flash Mode"},
    {0x000A, "Skip"},
    {0x000B, "WhiteBiasValue", "White Bias Value"},
    {0x000F, "DigitalZoom", "Digital Zoom"},
    {0x0010, "Skip"},
    {0x0011, "Skip"},
    {0x0080, "ImageAdjustment", "Image Adjustment"},
    {0x0081, "ImageAdjustment", "Image Adjustment"},
    {0x0082, "Adapter"},
    {0x0084, "LensInformation", "Lens information", {}, FormatNikonLens},
    {0x0085, "ManualFocusDistance", "Manual Focus Distance"},
    {0x0086, "DigitalZoom", "Digital Zoom"},
    {0x0088, "FocusArea", "Focus Area"},
    {0x0089, "Mode"},
    {0x008D, "ColorMode", "Color Mode", {}, FormatNikonColorMode},
    {0x008F, "SceneMode", "Scene Mode"},
    {0x0092, "HueAdjustment", "Hue Adjustment"},
    {0x0094, "Saturation"},
    {0x0095, "NoiseReduction", "Noise Reduction"},
    {0x0F00, "Skip"},
};

constexpr MakerRow kOlympus[] = {
    {0x0200, "SpecialMode"},
    {0x0201, "JpegQual", {}, "1:SQ,2:HQ,3:SHQ,4:Raw"},
    {0x0202, "Macro", {}, "0:Normal,1:Macro"},
    {0x0203, "Skip"},
    {0x0204, "DigiZoom", "Digital Zoom Ratio"},
    {0x0205, "Skip"},
    {0x0206, "Skip"},
    {0x0207, "Firmware"},
    {0x0208, "PictInfo", "Picture Info"},
    {0x0209, "CameraID", "Camera ID"},
    {0x0F00, "Skip"},
    {0x1004, "FlashMode", "Flash Mode"},
    {0x1006, "Bracket"},
    {0x100B, "FocusMode", "Focus Mode"},
    {0x100C, "FocusDistance", "Focus Distance"},
    {0x100D, "Zoom"},
    {0x100E, "MacroFocus", "Macro Focus"},
    {0x100F, "Sharpness"},
    {0x1011, "ColorMatrix", "Color Matrix"},
    {0x1012, "BlackLevel", "Black Level"},
    {0x1015, "WhiteBalance", "White Balance"},
    {0x1017, "RedBias", "Red Bias"},
    {0x1018, "BlueBias", "Blue Bias"},
    {0x101A, "SerialNumber"},
    {0x1023, "FlashBias", "Flash Bias"},
    {0x1029, "Contrast"},
    {0x102A, "SharpnessFactor", "Sharpness Factor"},
    {0x102B, "ColorControl", "Color Control"},
    {0x102C, "ValidBits", "Valid Bits"},
    {0x102D, "Coring", "Coring Filter"},
    {0x102E, "FinalWidth", "Final Width"},
    {0x102F, "FinalHeight", "Final Height"},
    {0x1034, "CompressionRatio", "Compression Ratio"},
};

constexpr std::string_view kNormalLowHigh = "0:Normal,1:Low,2:High";

constexpr MakerRow kCasioA[] = {
    {0x0001, "RecordingMode", {},
     "1:Single Shutter,2:Panorama,3:Night Scene,4:Portrait,5:Landscape"},
    {0x0002, "Quality", {}, "1:Economy,2:Normal,3:Fine"},
    {0x0003, "FocusingMode", {}, "2:Macro,3:Auto Focus,4:Manual Focus,5:Infinity"},
    {0x0004, "FlashMode", {}, "1:Auto,2:On,3:Off,4:Red Eye Reduction"},
    {0x0005, "FlashIntensity", {}, "11:Weak,13:Normal,15:Strong"},
    {0x0006, "ObjectDistance"},
    {0x0007, "WhiteBalance", {}, "1:Auto,2:Tungsten,3:Daylight,4:Fluorescent,5:Shade,129:Manual"},
    {0x0008, "Skip"},
    {0x0009, "Skip"},
    {0x000A, "DigitalZoom", {}, "65536:Off,65537:2X Digital Zoom"},
    {0x000B, "Sharpness", {}, "0:Normal,1:Soft,2:Hard"},
    {0x000C, "Contrast", {}, kNormalLowHigh},
    {0x000D, "Saturation", {}, kNormalLowHigh},
    {0x000E, "Skip"},
    {0x000F, "Skip"},
    {0x0010, "Skip"},
    {0x0011, "Skip"},
    {0x0012, "Skip"},
    {0x0013, "Skip"},
    {0x0014, "CCDSensitivity", {}, "64:Normal,125:+1.0,250:+2.0,244:+3.0,80:Normal,100:High"},
    {0x0015, "Skip"},
    {0x0016, "Skip"},
    {0x0017, "Skip"},
    {0x0018, "Skip"},
    {0x0019, "Skip"},
    {0x001A, "Skip"},
};

constexpr std::string_view kMinusNormalPlus = "0:-1,1:Normal,2:+1";

constexpr MakerRow kCasioB[] = {
    {0x0002, "ThumbnailDimensions", "Thumbnail Dimensions"},
    {0x0003, "ThumbnailSize", "Thumbnail Size"},
    {0x0004, "ThumbnailOffset", "Thumbnail OffSet"},
    {0x0008, "Quality", {}, "1:Fine,2:Super Fine"},
    {0x0009, "ImageSize", {},
     "0:640 x 480,4:1600 x 1200,5:2048 x 1536,20:2288 x 1712,21:2592 x 1944,22:2304 x 1728,"
     "36:3008 x 2008"},
    {0x000D, "FocusMode", {}, "0:Normal,1:Macro"},
    {0x0014, "IsoSensitivity", {}, "3:50,4:64,6:100,9:200"},
    {0x0019, "WhiteBalance", {}, "0:Auto,1:Daylight,2:Shade,3:Tungsten,4:Fluorescent,5:Manual"},
    {0x001D, "FocalLength", "Focal Length (.1 mm)"},
    {0x001F, "Saturation", {}, kMinusNormalPlus},
    {0x0020, "Contrast", {}, kMinusNormalPlus},
    {0x0021, "Sharpness", {}, kMinusNormalPlus},
    {0x0E00, "PIM", "\tPrint Image Matching Info"},
    {0x2000, "Skip"},
    {0x2001, "Skip"},
    {0x2002, "Skip"},
    {0x2003, "Skip"},
    {0x2011, "WhiteBalanceBias", "White Balance Bias"},
    {0x2013, "Skip"},
    {0x2012, "WhiteBalance", "White Balance", "0:Manual,1:Auto,4:Flash,12:Flash"},
    {0x2021, "Skip"},
    {0x2022, "ObjectDistance", "Object Distance (mm)"},
    {0x2023, "Skip"},
    {0x2031, "Skip"},
    {0x2032, "Skip"},
    {0x2033, "Skip"},
    {0x2034, "FlashDistance", "Flash Distance"},
    {0x3000, "RecordMode", "Record Mode", "2:Normal"},
    {0x3001, "SelfTimer", "Self Timer", kOffOn},
    {0x3002, "Quality", {}, "1:Economy,2:Normal,3:Fine"},
    {0x3003, "FocusMode", "Focus Mode", "1:Fixed,3:Auto Focus,6:Multi-Area Auto Focus"},
    {0x3005, "Skip"},
    {0x3006, "TimeZone", "Time Zone"},
    {0x3007, "BestshotMode", "Bestshot Mode", kOffOn},
    {0x3011, "Skip"},
    {0x3012, "Skip"},
    {0x3013, "Skip"},
    {0x3014, "CCDSensitivity", "CCD Sensitivity"},
    {0x3015, "ColorMode", "Color Mode", kOffOn},
    {0x3016, "Enhancement", {}, kOffOn},
    {0x3017, "Filter", {}, kOffOn},
    {0x3018, "Skip"},
    {0x3019, "Skip"},
    {0x301A, "Skip"},
    {0x301B, "Skip"},
};

constexpr std::string_view kNormalHighLow = "0:Normal,256:High,512:Low";

constexpr MakerRow kFuji[] = {
    {0x0000, "Version"},
    {0x1000, "Quality"},
    {0x1001, "Sharpness", {}, "1:Soft,2:Soft,3:Normal,4:Hard,5:Hard"},
    {0x1002, "WhiteBalance", {},
     "0:Auto,256:Daylight,512:Cloudy,768:DaylightColor-fluorescence,"
     "769:DaywhiteColor-fluorescence,770:White-fluorescence,1024:Incandenscense,"
     "3840:Custom white balance."},
    {0x1003, "Color", {}, kNormalHighLow},
    {0x1004, "Tone", {}, kNormalHighLow},
    {0x1010, "FlashMode", {}, "0:Auto,1:On,2:Off,3:Red-eye reduction"},
    {0x1011, "FlashStrength"},
    {0x1020, "Macro", {}, kOffOn},
    {0x1021, "Focusmode", {}, "0:Auto Focus,1:Manual Focus"},
    {0x1030, "SlowSync", {}, kOffOn},
    {0x1031, "PictureMode", {},
     "0:Auto,1:Portrait scene,2:Landscape scene,4:Sports scene,5:Night scene,6:Program AE,"
     "256:Aperture prior AE,512:Shutter prior AE,768:Manual exposure"},
    {0x1032, "Skip"},
    {0x1100, "ContTake/Bracket", {}, kOffOn},
    {0x1200, "Skip"},
    {0x1300, "BlurWarning", {}, "0:No blur warning,1:Blur warning"},
    {0x1301, "FocusWarning", {}, "0:Auto Focus good,1:Out of focus"},
    {0x1302, "AEWarning", {}, "0:AE good,1:Over exposure"},
};

constexpr MakerRow kCanon[] = {
    {0x0000, "Skip"},
    {0x0001, "ExposureInfo1", {}, {}, ExpandCameraSettings},
    {0x0002, "Skip"},
    {0x0003, "Skip"},
    {0x0004, "ExposureInfo2", {}, {}, ExpandShotInfo},
    {0x0006, "ImageType"},
    {0x0007, "FirmwareVersion"},
    {0x0008, "ImageNumber"},
    {0x0009, "OwnerName"},
    {0x000A, "Skip"},
    {0x000B, "Skip"},
    {0x000C, "CameraSerialNumber"},
    {0x000D, "Skip"},
    {0x000E, "Skip"},
    {0x000F, "CustomFunctions", {}, {}, ExpandCustomFunctions},
    {0x0010, "Skip"},
};

constexpr MakerRow kSeiko[] = {
    {0x0200, "Special_Mode", "Special Mode"},
    {0x0201, "JpegQuality"},
    {0x0202, "Macro"},
    {0x0203, "Skip"},
    {0x0204, "DigiZoom"},
    {0x0209, "CameraID"},
    {0x020A, "Comments"},
    {0x020B, "Width"},
    {0x020C, "Height"},
    {0x020D, "SoftRelease"},
    {0x0300, "??"},
    {0x0F00, "skip"},
};

constexpr MakerRow kSanyo[] = {
    {0x0200, "Special_Mode", "Special Mode"},
    {0x0201, "JpegQuality"},
    {0x0202, "Macro"},
    {0x0203, "Skip"},
    {0x0204, "DigiZoom"},
    {0x0F00, "DataDump"},
};

constexpr MakerRow kMinolta[] = {
    {0x0000, "ModelID"},
    {0x0E00, "PIMdata"},
};

// The table rows of the definitions; a row without a description uses its name.
template <size_t N>
constexpr std::array<TagRow, N> Rows(const MakerRow (&defs)[N]) {
  std::array<TagRow, N> rows{};
  for (size_t i = 0; i < N; ++i) {
    rows[i].tag = defs[i].tag;
    rows[i].name = defs[i].name;
    rows[i].desc = defs[i].desc.empty() ? defs[i].name : defs[i].desc;
    rows[i].codes = defs[i].codes;
    rows[i].decoder = defs[i].decoder;
  }
  return rows;
}

constexpr auto kNikonARows = Rows(kNikonA);
constexpr auto kNikonBRows = Rows(kNikonB);
constexpr auto kOlympusRows = Rows(kOlympus);
constexpr auto kCasioARows = Rows(kCasioA);
constexpr auto kCasioBRows = Rows(kCasioB);
constexpr auto kFujiRows = Rows(kFuji);
constexpr auto kCanonRows = Rows(kCanon);
constexpr auto kSeikoRows = Rows(kSeiko);
constexpr auto kSanyoRows = Rows(kSanyo);
constexpr auto kMinoltaRows = Rows(kMinolta);

}  // namespace

std::span<const TagRow> MakerTableRows(MakerTable table) {
  // In the order of the enumeration.
  static constexpr std::array<std::span<const TagRow>, 10> kTables = {
      kNikonARows, kNikonBRows, kOlympusRows, kCasioARows, kCasioBRows,
      kFujiRows,   kCanonRows,  kSeikoRows,   kSanyoRows,  kMinoltaRows,
  };
  return kTables.at(static_cast<size_t>(table));
}

}  // namespace pixmeta
