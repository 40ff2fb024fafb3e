#include "makernotes/canon_expanders.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <optional>
#include <span>

#include "exif/tag_dictionary.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

// A sub-field at a position of the array; without codes its piece is taken as it stands.
// Its row names the entry it becomes.
struct SubField {
  TagRow row;
  size_t position;
  std::string_view codes;
};

constexpr TagRow NamedRow(std::string_view name) {
  TagRow row;
  row.name = name;
  row.desc = name;
  return row;
}

constexpr SubField Field(std::string_view name, size_t position, std::string_view codes = {}) {
  return {NamedRow(name), position, codes};
}

constexpr std::string_view kLowNormalHigh = "65535:Low,0:Normal,1:High";

constexpr SubField kCameraSettings[] = {
    Field("Macro_mode", 1, "1:Macro,2:Normal"),
    Field("Self_Timer", 2),
    Field("Compression_Rate", 3, "0:SuperFine,1:Fine,2:Normal,3:Basic,5:SuperFine"),
    Field("Flash_Mode", 4,
     "0:Not fired,1:Auto,2:On,3:Red-eye,4:Slow sync,5:Auto+red-eye,6:On+red eye,"
     "16:External flash"),
    Field("Drive_Mode", 5, "0:Single,1:Continuous"),
    Field("Focus_Mode", 7, "0:One-Shot,1:AI Servo,2:AI Focus,3:MF,4:Single,5:Continuous,6:MF"),
    Field("Image_Size", 10, "0:Large,1:Medium,2:Small,4:5MPixel,5:2 MPixel,6:1.5 MPixel"),
    Field("Easy_Shoot", 11,
     "0:Full Auto,1:Manual,2:Landscape,3:Fast Shutter,4:Slow Shutter,5:Night,6:B&W,7:Sepia,"
     "8:Portrait,9:Sports,10:Macro/Close-Up,11:Pan Focus"),
    Field("Contrast", 13, kLowNormalHigh),
    Field("Saturation", 14, kLowNormalHigh),
    Field("Sharpness", 15, kLowNormalHigh),
    Field("CCD_ISO", 16, "0:Not used,15:auto,16:50,17:100,18:200,19:400"),
    // The next four have no lists of their own; values other than 0, 1 and 65535 show nothing.
    Field("Metering_Mode", 17, kLowNormalHigh),
    Field("AF_Point", 19, kLowNormalHigh),
    Field("Exposure_Mode", 20, kLowNormalHigh),
    Field("Long_focal", 23),
    Field("Short_focal", 24),
    Field("Focal_Units", 25),
    Field("Flash_Details", 28),
    Field("Focus_Mode", 32, kLowNormalHigh),
};

constexpr SubField kShotInfo[] = {
    Field("White_balance", 7, "0:Auto,1:Sunny,2:Cloudy,3:Tungsten,4:Flourescent,5:Flash,6:Custom"),
    Field("Sequence_Number", 8),
    Field("OpticalZoom_Step", 10),
    Field("AF_point", 13),
    Field("Flash_bias", 15,
     "65472:-2 EV,65484:-1.67 EV,65488:-1.50 EV,65492:-1.33 EV,65504:-1 EV,65516:-0.67 EV,"
     "65520:-0.50 EV,65524:-0.33 EV,0:0 EV,12:0.33 EV,16:0.50 EV,20:0.67 EV,32:1 EV,"
     "44:1.33 EV,48:1.50 EV,52:1.67 EV,64:2 EV"),
    Field("Distance", 18),
};

struct CustomFunction {
  TagRow row;
  std::string_view codes;
};

// Custom function f (1 to 15) at index f - 1.
constexpr std::array<CustomFunction, 15> kCustomFunctions = {{
    {NamedRow("Noise_Reduction"), "0: Off,1: On"},
    {NamedRow("Shutter_AE_Lock_Button"), "0:AF/AE lock,1:AE lock/AF,2:AF/AF lock,3:AE+release/AE+AF"},
    {NamedRow("Mirror_Lockup"), "0:Disable,1:Enable"},
    {NamedRow("Exposure_Level"), "0:1/2 stop,1:1/3 stop"},
    {NamedRow("AF_Assist"), "0:On (auto),1:Off"},
    {NamedRow("AV_Shutter_Speed"), "0:Automatic,1: 1/200 (fixed)"},
    {NamedRow("AEB_Sequence"),
     "0:0, -, + / Enabled1: 0, -, + / Disabled,2: -, 0, + / Enabled,3: -, 0, + / Disabled"},
    {NamedRow("Shutter_Sync"), "0:1st-curtain sync,1: 2nd-curtain sync"},
    {NamedRow("Lens_AF_Button"), "0:AF stop,1:Operate AF,2:Lock AE and start timer"},
    {NamedRow("Fill_Flash_Reduction"), "0:Enable,1:Disable"},
    {NamedRow("Menu_Return"), "0:Top,1:Previous (volatile),2:Previous"},
    {NamedRow("Set_Button"), "0:Not assigned,1:Change quality,2:Change ISO speed,3:Select parameters"},
    {NamedRow("Sensor_Cleaning"), "0:Disable,1:Enable"},
    {NamedRow("Superimposed_Display"), "0: On,1: Off"},
    {NamedRow("Shutter_Release_wo_CF_Card"), "0:Enable,1:Disable"},
}};

// The elements of a value text split at "," alone, so every piece after the first keeps
// the blank of the list separator. Pieces are asked for in rising positions.
class Pieces {
 public:
  explicit Pieces(std::string_view text) : rest_(text) {}

  // The piece at a position not below the last one asked for; none past the last piece.
  std::optional<std::string_view> At(size_t position) {
    while (!done_) {
      const size_t comma = rest_.find(',');
      const std::string_view piece = rest_.substr(0, comma);
      if (comma == std::string_view::npos) {
        done_ = true;
      } else {
        rest_.remove_prefix(comma + 1);
      }
      if (next_++ == position) return piece;
    }
    return std::nullopt;
  }

 private:
  std::string_view rest_;
  size_t next_ = 0;
  bool done_ = false;
};

void Add(DecodeContext& context, const TagRow& row, std::string_view text) {
  if (context.sink != nullptr && !Trim(text).empty()) {
    context.sink->AddTextEntry(row, text, kTypeAscii);
  }
}

std::string Expand(std::string_view valueText, DecodeContext& context,
                   std::span<const SubField> fields) {
  context.multiLine = true;
  Pieces pieces(valueText);
  for (const SubField& field : fields) {
    const std::optional<std::string_view> piece = pieces.At(field.position);
    if (!piece) break;
    Add(context, field.row, field.codes.empty() ? *piece : DecodeCode(field.codes, *piece));
  }
  return std::string(valueText);
}

}  // namespace

std::string ExpandCameraSettings(std::string_view valueText, DecodeContext& context) {
  return Expand(valueText, context, kCameraSettings);
}

std::string ExpandShotInfo(std::string_view valueText, DecodeContext& context) {
  return Expand(valueText, context, kShotInfo);
}

std::string ExpandCustomFunctions(std::string_view valueText, DecodeContext& context) {
  context.multiLine = true;
  Pieces pieces(valueText);
  for (size_t position = 0;; ++position) {
    const std::optional<std::string_view> piece = pieces.At(position);
    if (!piece) break;
    int32_t code = 0;
    if (!ParseInt32(Trim(*piece), code)) continue;
    const int32_t function = code / 256;
    if (function < 1 || function > 15) continue;
    const CustomFunction& field = kCustomFunctions[static_cast<size_t>(function - 1)];
    char digits[8];
    const auto end = std::to_chars(digits, digits + sizeof digits, code % 256).ptr;
    Add(context, field.row,
        DecodeCode(field.codes, std::string_view(digits, static_cast<size_t>(end - digits))));
  }
  return std::string(valueText);
}

}  // namespace pixmeta
