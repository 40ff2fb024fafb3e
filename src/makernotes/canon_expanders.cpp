#include "makernotes/canon_expanders.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "exif/tag_dictionary.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

// A sub-field at a position of the array; without codes its piece is taken as it stands.
struct SubField {
  std::string_view name;
  size_t position;
  std::string_view codes = {};
};

constexpr std::string_view kLowNormalHigh = "65535:Low,0:Normal,1:High";

constexpr SubField kCameraSettings[] = {
    {"Macro_mode", 1, "1:Macro,2:Normal"},
    {"Self_Timer", 2},
    {"Compression_Rate", 3, "0:SuperFine,1:Fine,2:Normal,3:Basic,5:SuperFine"},
    {"Flash_Mode", 4,
     "0:Not fired,1:Auto,2:On,3:Red-eye,4:Slow sync,5:Auto+red-eye,6:On+red eye,"
     "16:External flash"},
    {"Drive_Mode", 5, "0:Single,1:Continuous"},
    {"Focus_Mode", 7, "0:One-Shot,1:AI Servo,2:AI Focus,3:MF,4:Single,5:Continuous,6:MF"},
    {"Image_Size", 10, "0:Large,1:Medium,2:Small,4:5MPixel,5:2 MPixel,6:1.5 MPixel"},
    {"Easy_Shoot", 11,
     "0:Full Auto,1:Manual,2:Landscape,3:Fast Shutter,4:Slow Shutter,5:Night,6:B&W,7:Sepia,"
     "8:Portrait,9:Sports,10:Macro/Close-Up,11:Pan Focus"},
    {"Contrast", 13, kLowNormalHigh},
    {"Saturation", 14, kLowNormalHigh},
    {"Sharpness", 15, kLowNormalHigh},
    {"CCD_ISO", 16, "0:Not used,15:auto,16:50,17:100,18:200,19:400"},
    // The next four have no lists of their own; values other than 0, 1 and 65535 show nothing.
    {"Metering_Mode", 17, kLowNormalHigh},
    {"AF_Point", 19, kLowNormalHigh},
    {"Exposure_Mode", 20, kLowNormalHigh},
    {"Long_focal", 23},
    {"Short_focal", 24},
    {"Focal_Units", 25},
    {"Flash_Details", 28},
    {"Focus_Mode", 32, kLowNormalHigh},
};

constexpr SubField kShotInfo[] = {
    {"White_balance", 7, "0:Auto,1:Sunny,2:Cloudy,3:Tungsten,4:Flourescent,5:Flash,6:Custom"},
    {"Sequence_Number", 8},
    {"OpticalZoom_Step", 10},
    {"AF_point", 13},
    {"Flash_bias", 15,
     "65472:-2 EV,65484:-1.67 EV,65488:-1.50 EV,65492:-1.33 EV,65504:-1 EV,65516:-0.67 EV,"
     "65520:-0.50 EV,65524:-0.33 EV,0:0 EV,12:0.33 EV,16:0.50 EV,20:0.67 EV,32:1 EV,"
     "44:1.33 EV,48:1.50 EV,52:1.67 EV,64:2 EV"},
    {"Distance", 18},
};

struct CustomFunction {
  std::string_view name;
  std::string_view codes;
};

// Custom function f (1 to 15) at index f - 1.
constexpr std::array<CustomFunction, 15> kCustomFunctions = {{
    {"Noise_Reduction", "0: Off,1: On"},
    {"Shutter_AE_Lock_Button", "0:AF/AE lock,1:AE lock/AF,2:AF/AF lock,3:AE+release/AE+AF"},
    {"Mirror_Lockup", "0:Disable,1:Enable"},
    {"Exposure_Level", "0:1/2 stop,1:1/3 stop"},
    {"AF_Assist", "0:On (auto),1:Off"},
    {"AV_Shutter_Speed", "0:Automatic,1: 1/200 (fixed)"},
    {"AEB_Sequence",
     "0:0, -, + / Enabled1: 0, -, + / Disabled,2: -, 0, + / Enabled,3: -, 0, + / Disabled"},
    {"Shutter_Sync", "0:1st-curtain sync,1: 2nd-curtain sync"},
    {"Lens_AF_Button", "0:AF stop,1:Operate AF,2:Lock AE and start timer"},
    {"Fill_Flash_Reduction", "0:Enable,1:Disable"},
    {"Menu_Return", "0:Top,1:Previous (volatile),2:Previous"},
    {"Set_Button", "0:Not assigned,1:Change quality,2:Change ISO speed,3:Select parameters"},
    {"Sensor_Cleaning", "0:Disable,1:Enable"},
    {"Superimposed_Display", "0: On,1: Off"},
    {"Shutter_Release_wo_CF_Card", "0:Enable,1:Disable"},
}};

// The elements of a value text split at "," alone, so every piece after the first keeps
// the blank of the list separator.
std::vector<std::string_view> Pieces(std::string_view text) {
  std::vector<std::string_view> pieces;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    pieces.push_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
    if (comma == std::string_view::npos) return pieces;
    start = comma + 1;
  }
}

void Add(DecodeContext& context, std::string_view name, std::string_view text) {
  if (context.sink != nullptr && !Trim(text).empty()) {
    context.sink->AddTextEntry(name, text, kTypeAscii);
  }
}

std::string Expand(std::string_view valueText, DecodeContext& context,
                   std::span<const SubField> fields) {
  context.multiLine = true;
  const std::vector<std::string_view> pieces = Pieces(valueText);
  for (const SubField& field : fields) {
    if (field.position >= pieces.size()) continue;
    const std::string_view piece = pieces[field.position];
    if (field.codes.empty()) {
      Add(context, field.name, piece);
    } else {
      Add(context, field.name, DecodeCode(field.codes, piece));
    }
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
  for (const std::string_view piece : Pieces(valueText)) {
    int32_t code = 0;
    if (!ParseInt32(Trim(piece), code)) continue;
    const int32_t function = code / 256;
    if (function < 1 || function > 15) continue;
    const CustomFunction& field = kCustomFunctions[static_cast<size_t>(function - 1)];
    Add(context, field.name, DecodeCode(field.codes, std::to_string(code % 256)));
  }
  return std::string(valueText);
}

}  // namespace pixmeta
