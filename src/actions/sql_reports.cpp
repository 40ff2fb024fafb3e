#include "actions/sql_reports.h"

#include <string>
#include <string_view>

#include "actions/title_texts.h"
#include "exif/value_format.h"
#include "util/date_valid.h"
#include "util/path_parts.h"
#include "util/pixmeta_lib.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

constexpr std::string_view kItemSeparator = ", ";
constexpr std::string_view kTagSeparator = ",";

// A comment line holds the path on one line, whatever bytes the file name has: a line break
// in it would start a statement of its own.
std::string CommentLine(std::string_view path, std::string_view tail = {}) {
  std::string line = "# ";
  line += EscapeControlChars(path);
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  line += tail;
  return line;
}

// Copyright items: the artist as whole items, the other owners word by word, then the
// camera as "(MakeModel)".
std::string CopyrightList(const TimgData& container, const TImageInfo& exif) {
  std::string copy;
  AddListItems(copy, CapitalizeWords(MetaText(exif.LookupValue("Artist"))), kItemSeparator, {});
  for (const std::string_view name : {"Author", "OwnerName", "Copyright"}) {
    AddListWords(copy, CapitalizeWords(MetaText(exif.LookupValue(name))), kItemSeparator, {});
  }
  const TIPTCdata* iptc = container.Iptc();
  if (container.HasIptc() && iptc != nullptr) {
    for (const std::string_view key : {"ImageCredit", "Copyright"}) {
      AddListWords(copy, CapitalizeWords(MetaText(iptc->HeldValue(key))), kItemSeparator,
                   {});
    }
  }
  const std::string make = CapitalizeWords(MetaText(exif.cameraMake));
  std::string model = CapitalizeWords(MetaText(exif.cameraModel));
  if (model.find(make) == std::string::npos) model.insert(0, make);
  std::string camera = "(";
  for (const char c : model) {
    if (c != ' ') camera += c;
  }
  camera += ')';
  if (camera != "()") AddListItems(copy, camera, kItemSeparator, {});
  return copy;
}

// The tags text, and whether the IPTC keywords hold a '#'. The keywords are appended
// without a separator, with a '#' put before them when they hold one elsewhere.
std::string TagsText(const TimgData& container, const TImageInfo& exif, bool& hashed) {
  std::string tags;
  hashed = false;
  AddListItems(tags, MetaText(exif.LookupValue("Keywords")), kTagSeparator, {});
  const TIPTCdata* iptc = container.Iptc();
  if (!container.HasIptc() || iptc == nullptr) return tags;
  AddListItems(tags, EscapeControlChars(MetaText(iptc->HeldValue("Category"))),
               kTagSeparator, {});
  AddListItems(tags, LineBreaksToChar(MetaText(iptc->HeldValue("SuppCategory")), ','),
               kTagSeparator, {});
  std::string keywords = MetaText(iptc->HeldValue("Keywords"));
  hashed = keywords.find('#') != std::string::npos;
  if (hashed && keywords.front() != '#') keywords.insert(0, 1, '#');
  tags += keywords;
  return tags;
}

// The image key of the file name: its date runs and separators taken out, at most 16
// bytes, upper case. A UTF-8 name is read as such first, so that its accented letters fold
// as those of a Windows-1252 name do.
std::string ImageKey(std::string_view path) {
  std::string key = FileNameKey(MetaText(FileNameWithoutExt(path)), 16);
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return key;
}

bool IsDecimalNumber(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

void PrintImageReport(RunContext& run, const FileState& file, const TimgData& container) {
  platform::Console& console = run.console;
  const TImageInfo* exif = container.Exif();
  if (!container.HasExif() || exif == nullptr) {
    console.WriteLine(CommentLine(file.path, " EXIF missing?"));
    return;
  }
  std::string title;
  ForEachTitleText(container, *exif, [&title](std::string_view text) {
    AddListItems(title, text, kItemSeparator, {});
  });
  const std::string copy = CopyrightList(container, *exif);
  bool hashed = false;
  const std::string tags = TagsText(container, *exif, hashed);
  if (!hashed && run.settings.sqlMode != 1) return;

  const std::string key = ImageKey(file.path);
  console.WriteLine("##");
  console.WriteLine(CommentLine(file.path));
  console.WriteLine("SET @i=null,@s=null,@f=null,@n=null;");
  // The procedure reads this file's tags, not those left by the file before.
  console.WriteLine("SET @t=\"" + SqlSafeText(tags) + "\";");
  console.WriteLine("CALL ImgsCheckUsersInTag(@p,@t,@s,@f,@n);");
  console.WriteLine("SELECT id INTO @i FROM imgs WHERE (projid=@p) and (left(nr," +
                    std::to_string(key.size()) + ")=\"" + key + "\") and (dat=\"" +
                    ExifDateText(exif->BestDate()) + "\");");
  console.WriteLine("UPDATE imgs SET signs=@s,fnames=@f,names=@n WHERE (id=@i) and (signs is null);");
  if (!tags.empty()) {
    console.WriteLine("UPDATE imgs SET tags=@t WHERE (id=@i) and length(@t)>length(tags);");
  }
  if (!copy.empty()) {
    console.WriteLine("UPDATE imgs SET copy=\"" + SqlSafeText(copy) + "\" WHERE (id=@i);");
  }
  if (!title.empty()) {
    console.WriteLine("UPDATE imgs SET title=\"" + SqlSafeText(title) +
                      "\" WHERE (id=@i) and length(ifnull(title,\"\"))<8;");
  }
}

void PrintSizeUpdate(RunContext& run, const FileState& file) {
  platform::Console& console = run.console;
  console.WriteLine(CommentLine(file.path));
  const std::string_view width = file.report.ValueOf("ImageWidth");
  const std::string_view height = file.report.ValueOf("ImageHeight");
  // The numbers go into the statement unquoted: a text from the EXIF list that is not one
  // is no size.
  if (!IsDecimalNumber(width) || !IsDecimalNumber(height)) return;
  const std::string src = SqlExactText(FileNameWithoutExt(file.path));
  const std::string ext = SqlExactText(ExtensionPart(file.path));
  const std::string& p = file.path;
  for (const char c : {'o', 'l', 'q', 's', 't'}) {
    const char classFolder[] = {'/', c, '/', '\0'};
    const size_t at = p.find(classFolder);
    if (at == std::string::npos) continue;
    const std::string tail = SqlExactText(std::string_view(p).substr(at));
    std::string line = "UPDATE imgs SET ud=ud,fe";
    line += c;
    line += "=\"" + ext + "\",px";
    line += c;
    line += "w=";
    line += width;
    line += ",px";
    line += c;
    line += "h=";
    line += height;
    line += " WHERE (src=\"" + src + "\") and (concat(\"/";
    line += c;
    line += "/\",fp,src,\"" + ext + "\")=\"" + tail + "\");";
    console.WriteLine(line);
  }
}

}  // namespace pixmeta
