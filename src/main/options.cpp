#include "main/options.h"

#include <array>
#include <string_view>

#include "main/shell_entry.h"
#include "platform/code_page.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

constexpr size_t kMaxValueLength = 80;

// Each row lists its spellings between bars; an argument matches when "|" + argument + "|"
// occurs in the row, so a spelling only matches whole.
bool RowMatches(std::string_view spellings, std::string_view lowerArg) {
  std::string key;
  key.reserve(lowerArg.size() + 2);
  key += '|';
  key += lowerArg;
  key += '|';
  return spellings.find(key) != std::string_view::npos;
}

int32_t NumberOr(const std::string& value, int32_t fallback) {
  int32_t n = 0;
  return ParseInt32(value, n) ? n : fallback;
}

struct ParamRow {
  std::string_view spellings;
  void (*apply)(RunSettings&, const std::string&);
};

constexpr std::array kParamRows = {
    ParamRow{"|/l|-l|--loglevel|",
             [](RunSettings& s, const std::string& v) {
               s.logLevel = static_cast<uint8_t>(NumberOr(v, 9) & 0xFF);
             }},
    ParamRow{"|/f|-f|--format|", [](RunSettings& s, const std::string& v) { s.dateFormat = v; }},
    ParamRow{"|/c|-c|--comment|",
             [](RunSettings& s, const std::string& v) {
               s.commentText = v;
               s.commentToExif = false;
             }},
    ParamRow{"|/key|-key|--keywords|",
             [](RunSettings& s, const std::string& v) { s.iptcKeywords = v; }},
    ParamRow{"|/cat|-cat|--category|",
             [](RunSettings& s, const std::string& v) { s.iptcCategory = v; }},
    ParamRow{"|/copy|-copy|--copyright|",
             [](RunSettings& s, const std::string& v) { s.iptcCopyright = v; }},
    ParamRow{"|/obj|-obj|--objectname|",
             [](RunSettings& s, const std::string& v) { s.iptcObjectName = v; }},
    ParamRow{"|--usercomment|--exifcomment|",
             [](RunSettings& s, const std::string& v) {
               s.commentText = v;
               s.commentToExif = true;
             }},
    ParamRow{"|/tag|-tag|--tags|", [](RunSettings&, const std::string&) {}},
    ParamRow{"|/t|-t|--title|", [](RunSettings& s, const std::string& v) { s.iptcCaption = v; }},
    ParamRow{"|/sfdd|-sfdd|--setfiledatedir|",
             [](RunSettings& s, const std::string& v) { s.fileDateDir = v; }},
    ParamRow{"|/ad|-ad|--adjustday|--adjustdays|",
             [](RunSettings& s, const std::string& v) { s.adjustDays = NumberOr(v, 0); }},
    ParamRow{"|/ah|-ah|--adjusthour|--adjusthours|",
             [](RunSettings& s, const std::string& v) { s.adjustHours = NumberOr(v, 0); }},
    ParamRow{"|/am|-am|--adjustmin|--adjustmins|--adjustminute|--adjustminutes|",
             [](RunSettings& s, const std::string& v) { s.adjustMinutes = NumberOr(v, 0); }},
    ParamRow{"|/as|-as|--adjustsec|--adjustsecs|--adjustsecond|--adjustseconds|",
             [](RunSettings& s, const std::string& v) { s.adjustSeconds = NumberOr(v, 0); }},
    ParamRow{"|/o|-o|--out|", [](RunSettings& s, const std::string& v) { s.outFile = v; }},
};

enum class Flag {
  Accepted,
  Debug,
  InstallKml,
  UninstallKml,
  Show,
  Json,
  IptcList,
  NoXml,
  GpsList,
  Kml,
  DateList,
  Orientation,
  RemoveThumbnail,
  SetFileDate,
  FileDateFromName,
  FileTimeFromFile,
  Quiet,
  ClearOrientation,
  ConverterList,
  HashString,
  SqlImages,
  SqlImageKeys,
  NavSqlUpdate,
  Help,
  MoreHelp,
};

struct FlagRow {
  std::string_view spellings;
  Flag flag;
};

constexpr std::array kFlagRows = {
    FlagRow{"|/0|-0|", Flag::Accepted},
    FlagRow{"|--debug|", Flag::Debug},
    FlagRow{"|/install-kml|-install-kml|--install-kml|", Flag::InstallKml},
    FlagRow{"|/uninstall-kml|-uninstall-kml|--uninstall-kml|", Flag::UninstallKml},
    FlagRow{"|--imgcrd|", Flag::Accepted},
    FlagRow{"|/s|-s|--show|", Flag::Show},
    FlagRow{"|/j|-j|--json|", Flag::Json},
    FlagRow{"|/iptc|-iptc|--iptc:list|", Flag::IptcList},
    FlagRow{"|/nx|-nx|--noxml|--no_xml|", Flag::NoXml},
    FlagRow{"|/gll|-gll|--gpslatlong|", Flag::GpsList},
    FlagRow{"|/kml|-kml|", Flag::Kml},
    FlagRow{"|/dt|-dt|--datetime|", Flag::DateList},
    FlagRow{"|/ori|-ori|--orientation|", Flag::Orientation},
    FlagRow{"|/rt|-rt|--removethumbnail|", Flag::RemoveThumbnail},
    FlagRow{"|/sfd|-sfd|--setfiledate|", Flag::SetFileDate},
    FlagRow{"|/sfdy|-sfdy|--setfiledateyymmdd|", Flag::FileDateFromName},
    FlagRow{"|/sfdh|-sfdh|--setfiledatehms|", Flag::FileTimeFromFile},
    FlagRow{"|/q|-q|--quiet|", Flag::Quiet},
    FlagRow{"|/co|-co|--clear-orientation|", Flag::ClearOrientation},
    FlagRow{"|/im|-im|--imagemagick|", Flag::ConverterList},
    FlagRow{"|--hashstr|", Flag::HashString},
    FlagRow{"|--sqlimgs|", Flag::SqlImages},
    FlagRow{"|--sqlimgskeys|", Flag::SqlImageKeys},
    FlagRow{"|--navsqlupdate|", Flag::NavSqlUpdate},
    FlagRow{"|?|/?|-?|", Flag::Help},
    FlagRow{"|--help|", Flag::MoreHelp},
};

constexpr std::array<std::string_view, 21> kHelpLines = {
    "Where options include: (--help, see more)",
    "  -s,    --show, show jpg metadata (-nx=no xml)",
    "  -q,    --quiet, show less data on screen",
    "  -j,    --json, show image data as json",
    "== Adjust EXIF metadata:",
    "  -co,   --clearorientation, set orientation to =1",
    "  -rt,   --removethumbnail, ta bort thumbnail ur jpeg",
    "  -ad,   --adjustday=+-n, adjust EXIF datetime with +-n days",
    "  -ah,   --adjusthour=+-n, adjust EXIF datetime with +-n hours",
    "  -am,   --adjustmin=+-n, adjust EXIF datetime with +-n minutes",
    "  -as,   --adjustsec=+-n, adjust EXIF datetime with +-n seconds",
    "== Set JPEG metadata:",
    "  -c,    --comment=\"comment\", set JPEG Comment",
    "== Set IPTC metadata:",
    "  -t,    --title=\"title\", set IPTC ImageCaption",
    "  -key,  --keywords=\"key1\\nkey2\", set IPTC Keywords",
    "  -cat,  --category=\"category\", set IPTC Category",
    "  -copy, --copyright=\"copyright\", set IPTC Copyright",
    "  -obj,  --objectname=\"object name\", set IPTC Object name",
    "  --IPTC:[Key]=Value, set other IPTC keys",
    "  --IPTC:List, list possible IPTC metadata keys",
};

constexpr std::array<std::string_view, 20> kMoreHelpLines = {
    "== Export List:",
    "  -gll,  --gpslatlong  Extract exif-gps latitude/longitude info",
    "                       Output as filname TAB latitude TAB longitude",
    "  -dt,   --datetime    Extract exif-datetime information, (format datetime "
    "-f=--format=yymmdd)",
    "                       1.DateTimeOriginal, 2.DateTimeDigitized, 3.DateTime, 4.FileDateTime",
    "                       Output as filname TAB DateTime TAB (if FileDateTime=*)",
    "  -kml  Extract exif-gps latitude/longitude to kml file",
    "== Adjust file datetime:",
    "  -sfd,  --setfiledate       set filedate from exif-datetime information, 1.2.3. above",
    "  -sfdy, --setfiledateyymmdd if no exif exists, try to use yymmdd in filname",
    "  -sfdh, --setfiledatehms    if above and no time exists them use time in file",
    "== Extra options:",
    "  -ori, show orientation list",
    "  -im, show imagemagick list",
    "  --sqlimgs, special sql report (--sqlimgskeys)",
    "  --navsqlupdate, special sql report, UPDATE imgs...",
    "== EXIF Test options:",
    "  --exifcomment, set exif UserComment",
    "== SHELL EXTENSION:",
    " -install-kml|-uninstall-kml: install as shell context menu",
};

void ApplyParameter(std::string_view arg, RunContext& run) {
  RunSettings& s = run.settings;
  const size_t eq = arg.find('=');
  const std::string name(Trim(arg.substr(0, eq)));
  const std::string value(Trim(arg.substr(eq + 1, kMaxValueLength)));
  if (platform::UpperCase(name).starts_with("--IPTC:")) {
    s.iptcKey = std::string(Trim(std::string_view(name).substr(7)));
    s.iptcValue = value;
  }
  const std::string lowerName = platform::LowerCase(name);
  run.infoLog.Add("param:" + lowerName + "=" + value);
  for (const ParamRow& row : kParamRows) {
    if (RowMatches(row.spellings, lowerName)) {
      row.apply(s, value);
      return;
    }
  }
}

// Whether a spelling of the flag rows begins with the argument's first byte: a file name
// such as photo.jpg is told from a flag without searching the rows.
bool CanBeFlag(std::string_view arg) {
  static constexpr std::array<bool, 256> kFirstBytes = [] {
    std::array<bool, 256> first{};
    for (const FlagRow& row : kFlagRows) {
      for (size_t i = 0; i + 1 < row.spellings.size(); ++i) {
        if (row.spellings[i] == '|') first[static_cast<unsigned char>(row.spellings[i + 1])] = true;
      }
    }
    return first;
  }();
  return !arg.empty() && kFirstBytes[static_cast<unsigned char>(platform::LowerByte(arg[0]))];
}

// Applies a flag; false when the argument is no flag (it is then a file argument).
bool ApplyFlag(std::string_view lowerArg, RunContext& run, ParseOutcome& outcome) {
  RunSettings& s = run.settings;
  const FlagRow* found = nullptr;
  for (const FlagRow& row : kFlagRows) {
    if (RowMatches(row.spellings, lowerArg)) {
      found = &row;
      break;
    }
  }
  if (found == nullptr) return false;
  switch (found->flag) {
    case Flag::Accepted:
      break;
    case Flag::Debug:
      s.logLevel = 9;
      s.show = true;
      break;
    case Flag::InstallKml:
      InstallShellEntry(run.console);
      outcome = ParseOutcome::ShellEntryDone;
      break;
    case Flag::UninstallKml:
      UninstallShellEntry(run.console);
      outcome = ParseOutcome::ShellEntryDone;
      break;
    case Flag::Show:
      s.show = true;
      break;
    case Flag::Json:
      s.json = true;
      s.quiet = true;
      break;
    case Flag::IptcList:
      s.iptcList = true;
      break;
    case Flag::NoXml:
      s.xmlBlock = false;
      break;
    case Flag::GpsList:
      s.gpsList = true;
      break;
    case Flag::Kml:
      s.kml = true;
      break;
    case Flag::DateList:
      s.dateList = true;
      break;
    case Flag::Orientation:
      s.orientationList = true;
      break;
    case Flag::RemoveThumbnail:
      s.removeThumbnail = true;
      break;
    case Flag::SetFileDate:
      s.setFileDate = true;
      break;
    case Flag::FileDateFromName:
      s.fileDateFromName = true;
      break;
    case Flag::FileTimeFromFile:
      s.fileTimeFromFile = true;
      break;
    case Flag::Quiet:
      s.quiet = true;
      break;
    case Flag::ClearOrientation:
      s.clearOrientation = true;
      break;
    case Flag::ConverterList:
      s.converterList = true;
      break;
    case Flag::HashString: {
      std::string text(kProgramTitle);
      text += kMakerName;
      text += kWebAddress;
      run.console.WriteLine(std::to_string(IdentHash(text)));
      break;
    }
    case Flag::SqlImages:
      s.sqlMode = 1;
      s.linePrefix = "# ";
      break;
    case Flag::SqlImageKeys:
      s.sqlMode = 2;
      s.linePrefix = "# ";
      break;
    case Flag::NavSqlUpdate:
      s.navSqlUpdate = true;
      s.linePrefix = "# ";
      break;
    case Flag::Help:
      PrintHelp(run);
      s.logLevel = 9;
      break;
    case Flag::MoreHelp:
      PrintHelp(run);
      PrintMoreHelp(run);
      s.logLevel = 9;
      break;
  }
  return true;
}

// The spellings of a row, split at its bars.
void AddSpellings(std::string_view row, std::vector<std::string_view>& spellings) {
  size_t start = 1;
  for (size_t bar = row.find('|', start); bar != std::string_view::npos;
       bar = row.find('|', start)) {
    if (bar > start) spellings.push_back(row.substr(start, bar - start));
    start = bar + 1;
  }
}

}  // namespace

std::vector<std::string_view> ParameterSpellings() {
  std::vector<std::string_view> spellings;
  for (const ParamRow& row : kParamRows) AddSpellings(row.spellings, spellings);
  return spellings;
}

std::vector<std::string_view> FlagSpellings() {
  std::vector<std::string_view> spellings;
  for (const FlagRow& row : kFlagRows) AddSpellings(row.spellings, spellings);
  return spellings;
}

ParseOutcome ParseCommandLine(const Arguments& args, RunContext& run) {
  if (args.empty()) {
    PrintSyntax(run);
    return ParseOutcome::NoArguments;
  }
  ParseOutcome outcome = ParseOutcome::Continue;
  std::string line;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (arg.find('=') != std::string_view::npos) {
      ApplyParameter(arg, run);
      continue;
    }
    line.assign("flag:");
    line += arg;
    run.infoLog.Add(line);
    if (CanBeFlag(arg) && ApplyFlag(platform::LowerCase(arg), run, outcome)) {
      if (outcome != ParseOutcome::Continue) return outcome;
      continue;
    }
    run.settings.fileArgs.Add(args, i);
  }
  return outcome;
}

void PrintBanner(RunContext& run) {
  RunSettings& s = run.settings;
  if (s.quiet || s.bannerShown) return;
  std::string title = s.linePrefix;
  title += kProgramTitle;
  title += " v";
  title += kProgramVersion;
  title += ", pixmeta";
  run.console.WriteLine(title);
  std::string maker = s.linePrefix;
  maker += "by ";
  maker += kMakerName;
  maker += ", ";
  maker += kWebAddress;
  run.console.WriteLine(maker);
  s.bannerShown = true;
}

void PrintSyntax(RunContext& run) {
  const RunSettings& s = run.settings;
  if (s.quiet) return;
  PrintBanner(run);
  run.console.WriteLine(s.linePrefix + "Syntax: pixmeta [options] filename");
  if (s.helpHint) run.console.WriteLine(s.linePrefix + "        pixmeta -? for more help (--help)");
}

void PrintHelp(RunContext& run) {
  if (run.settings.quiet) return;
  run.settings.helpHint = false;
  PrintSyntax(run);
  for (const std::string_view line : kHelpLines) run.console.WriteLine(line);
  run.console.WriteLine("");
}

void PrintMoreHelp(RunContext& run) {
  if (run.settings.quiet) return;
  for (const std::string_view line : kMoreHelpLines) run.console.WriteLine(line);
}

}  // namespace pixmeta
