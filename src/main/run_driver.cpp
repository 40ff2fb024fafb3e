#include "main/run_driver.h"

#include <optional>

#include "actions/file_loop.h"
#include "actions/run_context.h"
#include "main/options.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"

namespace pixmeta {
namespace {

constexpr int kExitNormal = 0;
constexpr int kExitNoArguments = 1;
constexpr int kExitOutputFailed = 2;

void AddKmlFrame(RunContext& run) {
  run.kmlHeader.Add(
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
      "<kml xmlns=\"http://www.opengis.net/kml/2.2\"><Document>");
  run.kmlHeader.Add("<Style id=\"photoIcon\">");
  run.kmlHeader.Add(
      " <IconStyle><scale>0.8</scale><Icon><href>"
      "https://maps.google.com/mapfiles/kml/pal4/icon38.png"
      "</href></Icon></IconStyle>");
  run.kmlHeader.Add(" <LabelStyle><scale>0.6</scale></LabelStyle>");
  run.kmlHeader.Add("</Style>");
  run.kmlFooter.Add("</Document></kml>");
}

// Writes header, the spool's items and footer to a file that replaces path only when the
// whole text is written; false with errorText when it cannot be.
bool SaveText(const std::string& path, std::string_view header, const OutputSpool& items,
              std::string_view footer, std::string& errorText) {
  std::optional<platform::ReplacingFile> file = platform::ReplacingFile::Create(path, errorText);
  if (!file) return false;
  const auto write = [&file](std::string_view bytes) { return file->Write(bytes); };
  write(platform::ToOutputUtf8(header));
  items.WriteTo(write);
  write(platform::ToOutputUtf8(footer));
  return file->Commit(errorText);
}

// Saves a log beside the program, else in the user's state folder; a log that cannot be
// saved anywhere is reported on the console.
void SaveLog(const OutputSpool& log, const std::string& suffix, const ProgramLocation& location,
             platform::Console& console) {
  const std::string fileName = location.programBaseName + suffix;
  std::string error;
  const std::string path = location.programDir + fileName;
  if (SaveText(path, {}, log, {}, error)) return;
  const std::string firstError = path + ": " + error;
  if (const std::optional<std::string> state = platform::UserStateFolder()) {
    if (SaveText(*state + fileName, {}, log, {}, error)) return;
  }
  console.WriteLine("#ERROR: " + firstError + " (log not written)");
}

}  // namespace

bool WriteOutputList(RunContext& run) {
  if (run.outputList.Empty()) return true;
  // The output list and the footer each end with one more line end; on the console the
  // header does too, while in the file its lines stand alone.
  const std::string& outFile = run.settings.outFile;
  if (outFile.empty()) {
    platform::Console& console = run.console;
    console.WriteText(run.kmlHeader.Text());
    console.WriteText("\r\n");
    const bool converted = run.outputList.lineEnds() == OutputSpool::LineEnds::Lf;
    run.outputList.WriteTo([&console, converted](std::string_view text) {
      converted ? console.WriteConverted(text) : console.WriteText(text);
      return true;
    });
    console.WriteText("\r\n");
    console.WriteText(run.kmlFooter.Text());
    console.WriteText("\r\n");
    return true;
  }
  std::string error;
  if (SaveText(outFile, run.kmlHeader.Text(), run.outputList, "\r\n" + std::string(run.kmlFooter.Text()) + "\r\n",
               error)) {
    return true;
  }
  run.console.WriteLine("#ERROR: " + outFile + ": " + error);
  return false;
}

int RunProgram(const Arguments& args, const ProgramLocation& location,
               platform::Console& console, size_t memoryBound) {
  RunContext run(console, memoryBound);
  std::string title(kProgramTitle);
  title += " v";
  title += kProgramVersion;
  title += ' ';
  run.infoLog.Add(title + platform::DateTimeText(platform::LocalNow()));

  switch (ParseCommandLine(args, run)) {
    case ParseOutcome::NoArguments:
      return kExitNoArguments;
    case ParseOutcome::ShellEntryDone:
      return kExitNormal;
    case ParseOutcome::Continue:
      break;
  }
  const RunSettings& s = run.settings;
  if (s.outFile.empty()) run.outputList.UseLineEnds(OutputSpool::LineEnds::Lf);
  if (s.DebugMode()) console.WriteLine("#DEBUG-MODE");
  if (!s.quiet) PrintBanner(run);
  if (s.kml) AddKmlFrame(run);

  if (RunFileLoop(run) == LoopOutcome::NoFileFound) {
    PrintSyntax(run);
    console.WriteLine("#ERROR: file(s) not found: ");
  }

  const bool outputWritten = WriteOutputList(run);
  if (!run.errorLog.Empty()) {
    SaveLog(run.errorLog, "-error.txt", location, console);
    console.WriteLine("");
    console.WriteLine("#ERROR: (This tool can not create EXIF segment)");
    run.errorLog.WriteTo([&console](std::string_view text) {
      console.WriteText(text);
      return true;
    });
    console.WriteLine("");
  }
  SaveLog(run.infoLog, "-info.txt", location, console);
  return outputWritten ? kExitNormal : kExitOutputFailed;
}

}  // namespace pixmeta
