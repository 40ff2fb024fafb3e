// End-to-end proof that an edit changes only what it edits. Every edit runs over copies of
// photos laid out as cameras and photo editors leave them; then each file must read the
// same as before except for the edited values, by pixmeta's own report and by exiftool; its
// other segments and its image data must be byte for byte as they were, its embedded
// images (multi-picture, maker-note preview, thumbnails) must extract the same, and its
// pixels must decode the same. An edit that cannot be made must say so and leave the file
// as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fixtures/archive_photos.h"
#include "fixtures/cli_runner.h"
#include "fixtures/jpeg_parts.h"
#include "fixtures/jpeg_pixels.h"
#include "fixtures/photo_folder.h"
#include "fixtures/temp_dir.h"

namespace pixmeta::test {
namespace {

constexpr uint8_t kApp1 = 0xE1;
constexpr uint8_t kApp13 = 0xED;
constexpr uint8_t kCom = 0xFE;

using Values = std::vector<std::string>;

// One line of a listing, with the key that says what it is about: "[Section]Name" for a
// report line ("[Section]" alone for a heading, and for the text of the comment section),
// "[Group] Tag" for an exiftool line.
struct Line {
  std::string key;
  std::string text;
};
using Listing = std::vector<Line>;
using Listings = std::map<std::string, Listing>;  // by file name

bool IsHeading(const std::string& text) { return text.starts_with('[') && text.ends_with(']'); }

// The output of pixmeta -s -nx over several files: "[Filename]", the file's name, then its
// report up to the next "###".
Listings ParseReports(const std::string& out) {
  Listings reports;
  Listing* report = nullptr;
  std::string section;
  const std::vector<std::string> lines = SplitLines(out);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line == "[Filename]" && i + 1 < lines.size()) {
      report = &reports[lines[++i]];
      section.clear();
      continue;
    }
    if (report == nullptr || line.empty() || line == "###") continue;
    if (IsHeading(line)) {
      section = line;
      report->push_back({line, line});
      continue;
    }
    const size_t equals = line.find('=');
    const bool plainText = section == "[Comment]" || equals == std::string::npos;
    report->push_back({section + (plainText ? "" : line.substr(0, equals)), line});
  }
  return reports;
}

// exiftool -G1 -s over several files: "======== name", then "[Group]  Tag  : value" lines.
Listings ParseExiftool(const std::string& out) {
  Listings files;
  Listing* file = nullptr;
  for (const std::string& line : SplitLines(out)) {
    if (line.starts_with("======== ")) {
      file = &files[std::filesystem::path(line.substr(9)).filename().string()];
      continue;
    }
    const size_t close = line.find(']');
    const size_t colon = line.find(" : ");
    if (file == nullptr || !line.starts_with('[') || close == std::string::npos ||
        colon == std::string::npos) {
      continue;
    }
    std::string tag = line.substr(close + 1, colon - close - 1);
    tag.erase(0, tag.find_first_not_of(' '));
    tag.erase(tag.find_last_not_of(' ') + 1);
    const std::string key = line.substr(0, close + 1) + " " + tag;
    file->push_back({key, key + " : " + line.substr(colon + 3)});
  }
  return files;
}

// Whether a line is one that the listed keys allow to change. "[Section]" allows the whole
// section, "[Group] *" every tag of the group; a heading may come or go with its lines.
bool Allowed(const Line& line, const std::vector<std::string>& keys) {
  return std::any_of(keys.begin(), keys.end(), [&line](const std::string& key) {
    if (key == line.key) return true;
    if (key.ends_with(" *")) return line.key.starts_with(key.substr(0, key.size() - 1));
    if (IsHeading(line.text)) return key.starts_with(line.text);
    return IsHeading(key) && line.key.starts_with(key);
  });
}

// The lines of before and after that differ once the allowed ones are left out: "- " for a
// line that went, "+ " for one that came, or a note that the order changed.
std::vector<std::string> Differences(const Listing& before, const Listing& after,
                                     const std::vector<std::string>& allowed) {
  const auto kept = [&allowed](const Listing& listing) {
    std::vector<std::string> texts;
    for (const Line& line : listing) {
      if (!Allowed(line, allowed)) texts.push_back(line.text);
    }
    return texts;
  };
  std::vector<std::string> was = kept(before);
  std::vector<std::string> now = kept(after);
  if (was == now) return {};
  std::vector<std::string> differences;
  std::vector<std::string> left = now;
  for (const std::string& text : was) {
    const auto found = std::find(left.begin(), left.end(), text);
    if (found == left.end()) {
      differences.push_back("- " + text);
    } else {
      left.erase(found);
    }
  }
  for (const std::string& text : left) differences.push_back("+ " + text);
  if (differences.empty()) differences.push_back("(the same lines in another order)");
  return differences;
}

// The values of the lines with that key (for a section, its whole lines but the heading).
Values ValuesOf(const Listing& listing, const std::string& key) {
  Values values;
  for (const Line& line : listing) {
    if (IsHeading(key) ? line.key.starts_with(key) && line.text != key : line.key == key) {
      values.push_back(IsHeading(key) ? line.text : line.text.substr(line.text.find('=') + 1));
    }
  }
  return values;
}

// "yyyy:mm:dd hh:mm:ss" moved by a number of hours.
std::string ShiftDate(const std::string& text, int hours) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (std::sscanf(text.c_str(), "%d:%d:%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) return text;
  using namespace std::chrono;
  const sys_seconds when = sys_days{year{y} / mo / d} + std::chrono::hours{h + hours} +
                           minutes{mi} + seconds{s};
  const sys_days day = floor<days>(when);
  const year_month_day date{day};
  const hh_mm_ss time{when - day};
  char out[32];
  std::snprintf(out, sizeof out, "%04d:%02u:%02u %02d:%02d:%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()));
  return out;
}

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// What an edit leaves of a report value: given the values before, the lists it may leave.
using Outcome = std::function<std::vector<Values>(const Values& before)>;

struct Field {
  std::string key;
  Outcome after;
};

// exiftool's name of an edited value ("[Group] *" for a whole directory) and, when given,
// what it must read after the edit (nothing: the tag is gone), given what it read before.
struct Tag {
  using Value = std::optional<std::string>;
  std::string key;
  std::function<Value(const Value& before)> after{};
};

enum class Target { kExif, kComment, kIptc };

struct Edit {
  std::string option;
  Target target;
  std::vector<Field> fields;
  std::vector<Tag> tags;
  bool inPlace = false;    // patches bytes in place: the file keeps its size
  bool needsExif = false;  // an error on a photo without EXIF
};

Field Set(const std::string& key, const std::string& value) {
  return {key, [value](const Values&) { return std::vector<Values>{{value}}; }};
}

Field Gone(const std::string& key) {
  return {key, [](const Values&) { return std::vector<Values>{{}}; }};
}

Tag Reads(const std::string& key, const std::string& value) {
  return {key, [value](const Tag::Value&) { return Tag::Value(value); }};
}

Tag Absent(const std::string& key) {
  return {key, [](const Tag::Value&) { return Tag::Value(); }};
}

Edit DateShift(const std::string& option, int hours) {
  Edit edit{option, Target::kExif, {}, {}, true, true};
  for (const char* name : {"DateTime", "DateTimeOriginal", "DateTimeDigitized"}) {
    edit.fields.push_back({std::string("[Exif]") + name, [hours](const Values& before) {
                             Values shifted;
                             for (const std::string& date : before) {
                               shifted.push_back(ShiftDate(date, hours));
                             }
                             return std::vector<Values>{shifted};
                           }});
  }
  for (const char* tag :
       {"[IFD0] ModifyDate", "[ExifIFD] DateTimeOriginal", "[ExifIFD] CreateDate"}) {
    edit.tags.push_back({tag, [hours](const Tag::Value& before) {
                           return before ? Tag::Value(ShiftDate(*before, hours)) : before;
                         }});
  }
  return edit;
}

// "+" appends to the text of the stored keywords joined by commas; stored duplicates may stay
// or go when the key is rewritten.
std::vector<Values> AppendedKeyword(const Values& before) {
  Values appended = before;
  if (appended.empty()) {
    appended.push_back("Beach");
  } else {
    appended.back() += "Beach";
  }
  Values unique;
  for (const std::string& keyword : appended) {
    if (std::none_of(unique.begin(), unique.end(), [&keyword](const std::string& kept) {
          return Lowered(kept) == Lowered(keyword);
        })) {
      unique.push_back(keyword);
    }
  }
  return {appended, unique};
}

Edit IptcEdit(const std::string& option, const std::string& key, const std::string& tag,
              const std::string& value) {
  return {option, Target::kIptc, {Set("[IPTC]" + key, value)}, {Reads("[IPTC] " + tag, value)}};
}

std::vector<Edit> Edits() {
  return {
      DateShift("-ad=1", 24),
      DateShift("-ah=-2", -2),
      {"-co", Target::kExif, {Set("[Exif]Orientation", "Normal")},
       {Reads("[IFD0] Orientation", "1")}, true},
      {"-rt", Target::kExif, {Gone("[Thumbnail]")},
       {{"[IFD1] *"}, Absent("[IFD1] ThumbnailImage")}},
      {"-c=note", Target::kComment, {Set("[Comment]", "note")}, {Reads("[File] Comment", "note")}},
      {"--exifcomment=note", Target::kExif, {Set("[Exif]UserComment", "note")},
       {Reads("[ExifIFD] UserComment", "note")}, true, true},
      IptcEdit("-t=Caption", "ImageCaption", "Caption-Abstract", "Caption"),
      IptcEdit("-key=Beach", "Keywords", "Keywords", "Beach"),
      {"-key=+Beach", Target::kIptc, {{"[IPTC]Keywords", AppendedKeyword}}, {{"[IPTC] Keywords"}}},
      {"-key=-", Target::kIptc, {Gone("[IPTC]Keywords")}, {Absent("[IPTC] Keywords")}},
      IptcEdit("-cat=ABC", "Category", "Category", "ABC"),
      IptcEdit("-copy=(c) Someone", "Copyright", "CopyrightNotice", "(c) Someone"),
      IptcEdit("-obj=Obj", "ObjectName", "ObjectName", "Obj"),
      IptcEdit("--IPTC:City=Paris", "City", "City", "Paris"),
  };
}

std::string Hex(uint8_t marker) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X", marker);
  return text;
}

// The lines for a failure message, each cut to a readable length.
std::string Join(const std::vector<std::string>& lines) {
  constexpr size_t kWidth = 200;
  std::string text;
  for (const std::string& line : lines) {
    text += "  " + (line.size() > kWidth ? line.substr(0, kWidth) + "..." : line) + "\n";
  }
  return text;
}

bool IsExifSegment(const std::pair<uint8_t, std::string>& segment) {
  return segment.first == kApp1 && segment.second.substr(4, 6) == std::string("Exif\0\0", 6);
}

// The segments the edit writes: the first EXIF APP1, the comments or the APP13 segments.
std::vector<bool> Targeted(const JpegParts& parts, Target target) {
  std::vector<bool> targeted;
  bool exifSeen = false;
  for (const auto& segment : parts.segments) {
    switch (target) {
      case Target::kExif:
        targeted.push_back(!exifSeen && IsExifSegment(segment));
        exifSeen = exifSeen || IsExifSegment(segment);
        break;
      case Target::kComment:
        targeted.push_back(segment.first == kCom);
        break;
      case Target::kIptc:
        targeted.push_back(segment.first == kApp13);
        break;
    }
  }
  return targeted;
}

// What a rewrite did to the segments that it must keep: each of them byte-identical and in
// its place, the image data unchanged, no segment added but one the edit created.
void CheckSegments(const std::string& before, const std::string& after, Target target,
                   std::vector<std::string>& problems) {
  const JpegParts was = SplitJpeg(before);
  const JpegParts now = SplitJpeg(after);
  if (!now.valid) {
    problems.push_back("the rewritten file's segments cannot be walked");
    return;
  }
  if (now.scan != was.scan) problems.push_back("the image data after the start of scan changed");
  const std::vector<bool> wasTargeted = Targeted(was, target);
  const std::vector<bool> nowTargeted = Targeted(now, target);
  // A multi-picture index holds the first picture's length and the later pictures' offsets,
  // which follow the edit; exiftool's reading of each of its entries is compared instead.
  const auto others = [](const JpegParts& parts, const std::vector<bool>& targeted) {
    std::vector<std::string> kept;
    for (size_t i = 0; i < parts.segments.size(); ++i) {
      if (targeted[i]) continue;
      const std::string& bytes = parts.segments[i].second;
      const bool index = parts.segments[i].first == 0xE2 && bytes.substr(4, 4) == std::string("MPF\0", 4);
      kept.push_back(index ? std::string("MPF index of ").append(std::to_string(bytes.size())) : bytes);
    }
    return kept;
  };
  const std::vector<std::string> wasKept = others(was, wasTargeted);
  const std::vector<std::string> nowKept = others(now, nowTargeted);
  if (nowKept != wasKept) {
    std::string text = "segments the edit does not write changed: before";
    // Appended a piece at a time: GCC 12 warns falsely about " " + text here.
    for (const auto& [marker, bytes] : was.segments) (text += ' ') += Hex(marker);
    text += ", after";
    for (const auto& [marker, bytes] : now.segments) (text += ' ') += Hex(marker);
    for (const std::string& bytes : wasKept) {
      if (std::find(nowKept.begin(), nowKept.end(), bytes) == nowKept.end()) {
        text += "; lost or changed: " + Hex(static_cast<uint8_t>(bytes[1])) + " of " +
                std::to_string(bytes.size()) + " bytes";
      }
    }
    problems.push_back(text);
  }
  const auto places = [](const std::vector<bool>& targeted) {
    std::vector<size_t> at;
    for (size_t i = 0; i < targeted.size(); ++i) {
      if (targeted[i]) at.push_back(i);
    }
    return at;
  };
  const std::vector<size_t> wasAt = places(wasTargeted);
  const std::vector<size_t> nowAt = places(nowTargeted);
  // A segment the edit creates may go anywhere; edited ones stay where they were.
  if (wasAt.empty() ? nowAt.size() > 1 : nowAt != wasAt) {
    const auto text = [](const std::vector<size_t>& at) {
      std::string list;
      for (const size_t i : at) (list += ' ') += std::to_string(i);
      return list.empty() ? std::string(" none") : list;
    };
    problems.push_back("the edited segments are not where they were: at" + text(wasAt) +
                       " before, at" + text(nowAt) + " after");
  }
}

// exiftool's listing of every photo of the folder, and the embedded images it extracts into
// extracted (named file.group.tag.jpg).
struct ToolView {
  Listings listings;
  std::map<std::string, std::map<std::string, std::string>> images;  // file, then group.tag
};

ToolView ReadWithExiftool(const std::string& folder, const std::string& extracted) {
  std::filesystem::create_directories(extracted);
  const CliResult r = RunCommand(
      {"exiftool", "-a", "-u", "-G1", "-s", "-n", ".", "-execute", "-q", "-a", "-b", "-W",
       extracted + "%f.%g1.%t.%s", "-PreviewImage", "-MPImage2", "-ThumbnailImage",
       "-PhotoshopThumbnail", "."},
      folder);
  ToolView view{ParseExiftool(r.out), {}};
  for (const auto& [name, bytes] : ReadFolder(extracted)) {
    const size_t first = name.find('.');
    const size_t last = name.rfind('.');
    view.images[name.substr(0, first) + ".jpg"][name.substr(first + 1, last - first - 1)] = bytes;
  }
  return view;
}

Tag::Value ToolValueOf(const Listing& listing, const std::string& key) {
  for (const Line& line : listing) {
    if (line.key == key) return line.text.substr(line.text.find(" : ") + 3);
  }
  return std::nullopt;
}

// exiftool gives the positions of embedded images from the start of the file. The thumbnail
// and the maker-note preview move with the EXIF segment that holds them, the second image
// of a multi-picture file with the end of the first: they are compared from there.
Listing WithRelativePositions(Listing listing, const std::string& jpeg) {
  const JpegParts parts = SplitJpeg(jpeg);
  std::optional<long long> exif;
  long long offset = 2;
  for (const auto& segment : parts.segments) {
    if (!exif && IsExifSegment(segment)) exif = offset;
    offset += static_cast<long long>(segment.second.size());
  }
  const size_t eoi = parts.scan.find("\xFF\xD9");
  const std::optional<long long> firstImageEnd =
      eoi == std::string::npos ? std::nullopt
                               : std::optional<long long>(offset + static_cast<long long>(eoi) + 2);
  const std::map<std::string, std::pair<std::string, std::optional<long long>>> bases = {
      {"[IFD1] ThumbnailOffset", {"EXIF segment", exif}},
      {"[PreviewIFD] PreviewImageStart", {"EXIF segment", exif}},
      {"[MPImage2] MPImageStart", {"end of the first image", firstImageEnd}},
      {"[MPImage1] MPImageLength", {"end of the first image", firstImageEnd}}};
  for (Line& line : listing) {
    const auto base = bases.find(line.key);
    if (base == bases.end() || !base->second.second) continue;
    const long long value = std::stoll(line.text.substr(line.text.find(" : ") + 3));
    line.text = line.key + " : " + base->second.first + " + " +
                std::to_string(value - *base->second.second);
  }
  return listing;
}

bool HasError(const CliResult& run, const std::string& name) {
  for (const std::string& line : SplitLines(run.out + "\n" + run.err)) {
    if (line.starts_with("#ERROR " + name)) return true;
  }
  return false;
}

// A file's listing; none when the reader left the file out.
Listing ListingOf(const Listings& listings, const std::string& name) {
  const auto found = listings.find(name);
  return found == listings.end() ? Listing{} : found->second;
}

void AddAll(std::vector<std::string>& problems, const std::string& heading,
            const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  problems.push_back(heading);
  for (const std::string& line : lines) problems.push_back("    " + line);
}

std::string Quoted(const Values& values) {
  std::string text;
  for (const std::string& value : values) text += " \"" + value + "\"";
  return text.empty() ? " nothing" : text;
}

// The edited values read as asked, and every other line of pixmeta's report as before.
void CheckReport(const Edit& edit, const Listing& before, const Listing& after, bool hasExif,
                 std::vector<std::string>& problems) {
  std::vector<std::string> allowed;
  for (const Field& field : edit.fields) {
    allowed.push_back(field.key);
    const Values was = ValuesOf(before, field.key);
    if (edit.target == Target::kExif && hasExif && was.empty()) {
      problems.push_back("pixmeta's report before the edit has no " + field.key +
                         ", which the photo holds");
    }
    const Values now = ValuesOf(after, field.key);
    const std::vector<Values> expected = field.after(was);
    if (std::find(expected.begin(), expected.end(), now) == expected.end()) {
      problems.push_back(field.key + " reads" + Quoted(now) + ", expected" +
                         Quoted(expected.front()));
    }
  }
  AddAll(problems, "pixmeta's report differs:", Differences(before, after, allowed));
}

void CheckPixels(const std::string& before, const std::string& after,
                 std::vector<std::string>& problems) {
  const std::optional<Pixels> was = DecodePixels(before);
  const std::optional<Pixels> now = DecodePixels(after);
  if (!now) {
    problems.push_back("the image no longer decodes");
  } else if (was && !(*now == *was)) {
    problems.push_back("the image decodes to other pixels (its stored colour space taken as " +
                       now->colourSpace + ", was " + was->colourSpace + ")");
  }
}

// exiftool reads the edited values as asked, every other tag as before, no new warning, the
// same embedded images, and a stored IPTC digest that still matches.
void CheckExiftool(const Edit& edit, const ArchivePhoto& photo, const std::string& after,
                   const ToolView& toolBefore, const ToolView& toolAfter,
                   std::vector<std::string>& problems) {
  const Listing was = ListingOf(toolBefore.listings, photo.name);
  const Listing now = ListingOf(toolAfter.listings, photo.name);
  // The file's size and dates change with any rewrite.
  std::vector<std::string> allowed = {"[System] FileSize", "[System] FileModifyDate",
                                      "[System] FileAccessDate", "[System] FileInodeChangeDate"};
  for (const Tag& tag : edit.tags) {
    allowed.push_back(tag.key);
    if (!tag.after) continue;
    const Tag::Value expected = tag.after(ToolValueOf(was, tag.key));
    const Tag::Value got = ToolValueOf(now, tag.key);
    if (got != expected) {
      const auto text = [](const Tag::Value& value) {
        return value ? "\"" + *value + "\"" : std::string("absent");
      };
      problems.push_back("exiftool reads " + tag.key + " as " + text(got) + ", expected " +
                         text(expected));
    }
  }
  if (edit.target == Target::kIptc) {
    // The digest of the IPTC data changes with it; a block the edit creates starts with the
    // record version, as the standard asks.
    allowed.insert(allowed.end(), {"[File] CurrentIPTCDigest", "[Photoshop] IPTCDigest"});
    if (SegmentsWith(SplitJpeg(photo.bytes), kApp13).empty()) {
      allowed.push_back("[IPTC] ApplicationRecordVersion");
    }
  }
  AddAll(problems, "exiftool reads differently:",
         Differences(WithRelativePositions(was, photo.bytes), WithRelativePositions(now, after),
                     allowed));

  const Tag::Value digest = ToolValueOf(now, "[Photoshop] IPTCDigest");
  if (ToolValueOf(was, "[Photoshop] IPTCDigest") == ToolValueOf(was, "[File] CurrentIPTCDigest") &&
      digest && digest != ToolValueOf(now, "[File] CurrentIPTCDigest")) {
    problems.push_back("the stored IPTC digest no longer matches the IPTC data");
  }

  const auto imagesOf = [&photo](const ToolView& view) {
    return view.images.count(photo.name) != 0 ? view.images.at(photo.name)
                                              : std::map<std::string, std::string>{};
  };
  std::map<std::string, std::string> imagesWere = imagesOf(toolBefore);
  if (edit.option == "-rt") imagesWere.erase("IFD1.ThumbnailImage");
  const std::map<std::string, std::string> imagesNow = imagesOf(toolAfter);
  for (const auto& [image, bytes] : imagesWere) {
    const auto found = imagesNow.find(image);
    if (found == imagesNow.end()) {
      problems.push_back("exiftool no longer extracts " + image);
    } else if (found->second != bytes) {
      problems.push_back("exiftool extracts another " + image);
    }
  }
}

TEST(EditKeepsTheRest, EveryEditOnEveryArchivePhotoChangesOnlyWhatItEdits) {
  CliSandbox box;
  const std::vector<ArchivePhoto> photos = ArchivePhotos();
  const bool exiftool = HaveTool("exiftool");
  if (!exiftool) {
    std::printf("exiftool is not installed (Debian package libimage-exiftool-perl): only "
                "pixmeta's own report, the bytes and the pixels are compared\n");
  }
  std::vector<std::string> names;
  const std::string original = box.work() + "original/";
  for (const ArchivePhoto& photo : photos) {
    box.dir().Write("work/original/" + photo.name, photo.bytes);
    names.push_back(photo.name);
  }
  const auto reports = [&](const std::string& folder) {
    std::vector<std::string> args = {"-s", "-nx", "-q"};
    args.insert(args.end(), names.begin(), names.end());
    const CliResult run = box.Run(args, folder);
    EXPECT_EQ(SanitizerReport(run), "") << "the report of " << folder;
    return ParseReports(run.out);
  };
  const auto readWithExiftool = [&](const std::string& folder, const std::string& name) {
    return exiftool ? ReadWithExiftool(folder, box.dir().Make("extracted/" + name + "/"))
                    : ToolView{};
  };
  const Listings reportsBefore = reports(original);
  const ToolView toolBefore = readWithExiftool(original, "original");
  if (exiftool) {
    // The photos are sound for an independent reader, and hold the embedded images that the
    // checks below extract.
    std::set<std::string> embedded;
    for (const auto& [name, listing] : toolBefore.listings) {
      EXPECT_FALSE(ToolValueOf(listing, "[ExifTool] Warning")) << name;
      EXPECT_FALSE(ToolValueOf(listing, "[ExifTool] Error")) << name;
    }
    for (const auto& [name, images] : toolBefore.images) {
      for (const auto& [image, bytes] : images) embedded.insert(image);
    }
    for (const char* image : {"PreviewIFD.PreviewImage", "MPImage2.PreviewImage",
                              "JFXX.ThumbnailImage", "Photoshop.PhotoshopThumbnail"}) {
      EXPECT_TRUE(embedded.contains(image)) << image;
    }
  }

  const std::vector<Edit> edits = Edits();
  for (size_t e = 0; e < edits.size(); ++e) {
    const Edit& edit = edits[e];
    const std::string name = "edit" + std::to_string(e);
    const std::string folder = box.work() + name + "/";
    CopyFolder(original, folder);
    std::vector<std::string> args = {edit.option};
    args.insert(args.end(), names.begin(), names.end());
    const CliResult run = box.Run(args, folder);
    EXPECT_EQ(SanitizerReport(run), "") << edit.option;
    const Listings reportsAfter = reports(folder);
    const ToolView toolAfter = readWithExiftool(folder, name);

    for (const ArchivePhoto& photo : photos) {
      std::vector<std::string> problems;
      const std::string after = ReadBytes(folder + photo.name);
      const JpegParts parts = SplitJpeg(photo.bytes);
      const bool hasExif = std::any_of(parts.segments.begin(), parts.segments.end(), IsExifSegment);
      const Listing was = ListingOf(reportsBefore, photo.name);
      const Listing now = ListingOf(reportsAfter, photo.name);

      // Whether the edit must refuse the photo, leave it alone or change it. Every photo
      // with EXIF holds the values the EXIF edits change.
      const bool writesSharedBytes =
          photo.userCommentShared &&
          std::any_of(edit.fields.begin(), edit.fields.end(),
                      [](const Field& field) { return field.key == "[Exif]UserComment"; });
      const bool refused = (edit.needsExif && !hasExif) || writesSharedBytes;
      bool changes = hasExif;
      if (edit.target != Target::kExif) {
        changes = std::any_of(edit.fields.begin(), edit.fields.end(), [&was](const Field& field) {
          const Values values = ValuesOf(was, field.key);
          return field.after(values).front() != values;
        });
      }
      changes = changes && !refused;
      if (refused != HasError(run, photo.name)) {
        problems.push_back(refused ? "no #ERROR line names the file"
                                   : "an #ERROR line names the file");
      }

      if (!changes) {
        if (after != photo.bytes) {
          problems.push_back("the file was rewritten, but it must stay as it was");
          AddAll(problems, "pixmeta's report differs:", Differences(was, now, {}));
        }
      } else {
        CheckReport(edit, was, now, hasExif, problems);
        CheckSegments(photo.bytes, after, edit.target, problems);
        if (edit.inPlace && after.size() != photo.bytes.size()) {
          problems.push_back("the file's size changed from " + std::to_string(photo.bytes.size()) +
                             " to " + std::to_string(after.size()) + " bytes");
        }
        CheckPixels(photo.bytes, after, problems);
        if (exiftool) CheckExiftool(edit, photo, after, toolBefore, toolAfter, problems);
      }
      EXPECT_TRUE(problems.empty()) << photo.name << " | " << edit.option << "\n" << Join(problems);
    }
  }
}

}  // namespace
}  // namespace pixmeta::test
