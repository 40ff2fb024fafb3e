#include "actions/report.h"

#include <optional>

#include "actions/converter_list.h"
#include "iptc/iptc_table.h"
#include "util/path_parts.h"

namespace pixmeta {

void AddReportSections(RunContext& run, const TimgData& container, FileState& file) {
  StringList& report = file.report;
  const RunSettings& s = run.settings;
  if (container.HasThumbnail()) {
    report.Add("[Thumbnail]");
    report.Add("Length=" + std::to_string(container.Exif()->thumbLength));
  }
  if (container.HasComment()) {
    report.Add("[Comment]");
    report.Add(container.GetComment());
  }
  if (container.HasIptc() && container.Iptc() != nullptr) {
    report.Add("[IPTC]");
    container.Iptc()->FilePairList(report);
  }
  if (container.HasExif() && container.Exif() != nullptr) {
    report.Add("[Exif]");
    container.Exif()->NameValueList(report);
  }
  if (s.show && file.severalFiles) {
    if (file.index > 0) run.outputList.Add("###");
    run.outputList.Add("[Filename]");
    run.outputList.Add(file.path);
  }
  if (s.show && !s.xmlBlock) run.outputList.Add(report.Text());
  if (container.HasMetadata()) {
    report.Add("[MetaData]");
    container.MetadataXml(report);
  }
  if (s.show && s.xmlBlock) run.outputList.Add(report.Text());
}

void AddIptcKeyList(RunContext& run) {
  for (const std::string_view line : IptcKeyListing()) run.outputList.Add(line);
}

void AddOrientationLine(RunContext& run, const FileState& file) {
  const std::string_view orientation = file.report.ValueOf("Orientation");
  std::string line(FileNamePart(file.path));
  line += '\t';
  line += orientation;
  line += '\t';
  line += ConverterRotation(orientation);
  run.outputList.Add(std::move(line));
}

}  // namespace pixmeta
