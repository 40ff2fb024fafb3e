#include "actions/exports.h"

#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "util/path_parts.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

// Appends text so that it reads back as it is both as XML text and as HTML inside the
// description's CDATA section: the markup characters become entities, which also leaves no
// "]]>" to end the section early. Control characters become blanks, since XML cannot carry
// them and a line break would split the overlay's lines; so does the UTF-8 form of U+FFFE
// and U+FFFF, which the output passes on as it is and XML does not allow either.
void AppendEscaped(std::string& out, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += ' ';
        } else if (c == '\xEF' && i + 2 < text.size() && text[i + 1] == '\xBF' &&
                   (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
          out += ' ';
          i += 2;
        } else {
          out += c;
        }
    }
  }
}

// The style that turns the photo upright in the description (the degree sign is the
// Windows-1252 byte 0xB0).
std::string_view RotationStyle(std::string_view orientation) {
  if (orientation == "Rotated 180\xB0") return "transform(180deg)";
  if (orientation == "CounterClockwise 90\xB0") return "transform(90deg)";
  if (orientation == "Clockwise 90\xB0") return "transform(-90deg)";
  return {};
}

// The date, then the photo's texts that say something new.
std::string OverlayTitle(const StringList& report) {
  std::string title(report.ValueOf("DateTime"));
  for (const std::string_view key :
       {"Comments", "ImageDescription", "Subject", "Title", "Make", "Model"}) {
    AddListItem(title, report.ValueOf(key), ", ", "");
  }
  return title;
}

}  // namespace

void AddKmlOverlay(RunContext& run, const FileState& file) {
  if (file.latitude.empty()) {
    run.errorLog.Add("#ERROR " + file.path + ": no coordinates in file");
    return;
  }
  const bool trace = run.settings.DebugMode();
  if (trace) run.console.WriteLine("#KML:" + file.path);
  const std::string_view rotation = RotationStyle(file.report.ValueOf("Orientation"));
  if (trace) run.console.WriteLine("#-rotation:" + std::string(rotation));
  const std::string title = OverlayTitle(file.report);
  if (trace) run.console.WriteLine("#-title:" + title);
  const std::string n = std::to_string(++run.kmlOverlays);

  // An absolute path becomes a file URL; a relative one is left for the viewer to take
  // from the folder of the KML file.
  const bool absolute = !file.path.empty() && file.path.front() == platform::kSeparator;
  std::string out;
  const auto addAddress = [&out, &file, absolute] {
    if (absolute) out += "file://";
    AppendEscaped(out, file.path);
  };
  out.reserve(1024 + 2 * file.path.size() + title.size());
  out += "<PhotoOverlay id=\"photo";
  out += n;
  out += "\">\r\n <name>";
  AppendEscaped(out, FileNamePart(file.path));
  out += "</name>\r\n"
         " <description><![CDATA[<div style=\"font-family:sans-serif\"><a href=\"#photo";
  out += n;
  out += "\"><img src=\"";
  addAddress();
  out += "\" border=0 style=\"width:480px;";
  out += rotation;
  out += "\"><br>";
  AppendEscaped(out, title);
  out += "</a> PO</div>]]></description>\r\n"
         " <styleUrl>#photoIcon</styleUrl>\r\n"
         " <Camera>\r\n"
         "  <longitude>";
  AppendEscaped(out, file.longitude);
  out += "</longitude>\r\n  <latitude>";
  AppendEscaped(out, file.latitude);
  out += "</latitude>\r\n"
         "  <altitude>10</altitude>\r\n"
         "  <tilt>90</tilt>\r\n"
         " </Camera>\r\n"
         " <Icon><href>";
  addAddress();
  out += "</href></Icon>\r\n"
         " <ViewVolume>\r\n"
         "  <leftFov>-26.6666666667</leftFov>\r\n"
         "  <rightFov>26.6666666667</rightFov>\r\n"
         "  <bottomFov>-20</bottomFov>\r\n"
         "  <topFov>20</topFov>\r\n"
         "  <near>10</near>\r\n"
         " </ViewVolume>\r\n"
         " <Point>\r\n"
         "  <altitudeMode>relativeToGround</altitudeMode>\r\n"
         "  <coordinates>";
  AppendEscaped(out, file.longitude);
  out += ',';
  AppendEscaped(out, file.latitude);
  out += "</coordinates>\r\n"
         " </Point>\r\n"
         "</PhotoOverlay>";
  run.outputList.Add(out);
}

void AddGpsLine(RunContext& run, const FileState& file) {
  const std::string_view name = FileNamePart(file.path);
  std::string line;
  line.reserve(name.size() + file.latitude.size() + file.longitude.size() + 2);
  line += name;
  line += '\t';
  line += file.latitude;
  line += '\t';
  line += file.longitude;
  run.outputList.Add(line);
}

}  // namespace pixmeta
