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

OutputWriter::OutputWriter(RunContext& run) : run_(run) {}

bool OutputWriter::Start() {
  const std::string& outFile = run_.settings.outFile;
  if (outFile.empty()) {
    // On the console the header ends with one more line end; in the file its lines stand
    // alone.
    run_.console.WriteText(run_.kmlHeader.Text());
    run_.console.WriteText("\r\n");
  } else {
    file_ = platform::ReplacingFile::Create(outFile, error_);
    if (!file_) return false;
    file_->Write(platform::ToOutputUtf8(run_.kmlHeader.Text()));
  }
  started_ = true;
  return true;
}

bool OutputWriter::Write(std::string_view items) {
  if (!started_ && !Start()) return false;
  if (file_) {
    file_->Write(items);  // an error is kept and reported when the file is put in place
  } else if (run_.outputList.lineEnds() == OutputSpool::LineEnds::Lf) {
    run_.console.WriteConverted(items);
  } else {
    run_.console.WriteText(items);
  }
  return true;
}

bool OutputWriter::Finish() {
  const OutputSpool& list = run_.outputList;
  if (list.Empty()) return true;
  // The output list and the footer each end with one more line end.
  const std::string footer = "\r\n" + std::string(run_.kmlFooter.Text()) + "\r\n";
  if (list.WriteTo([this](std::string_view items) { return Write(items); }) && started_) {
    if (!file_) {
      run_.console.WriteText(footer);
      return true;
    }
    file_->Write(platform::ToOutputUtf8(footer));
    if (file_->Commit(error_)) return true;
  }
  run_.console.WriteLine("#ERROR: " + run_.settings.outFile + ": " + error_);
  return false;
}

bool WriteOutputList(RunContext& run) { return OutputWriter(run).Finish(); }

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
  // A long run's output goes out while the loop runs where nothing else comes between:
  // into the output file, or onto a console that the loop does not write to.
  OutputWriter output(run);
  if (!s.outFile.empty() || !s.LoopWritesToConsole()) {
    run.outputList.StreamTo([&output](std::string_view items) { return output.Write(items); });
  }
  if (s.DebugMode()) console.WriteLine("#DEBUG-MODE");
  if (!s.quiet) PrintBanner(run);
  if (s.kml) AddKmlFrame(run);

  const LoopOutcome outcome = RunFileLoop(run);
  // A JSON run ends with the first file's line: no output list, no logs.
  if (outcome == LoopOutcome::JsonWritten) return kExitNormal;
  if (outcome == LoopOutcome::NoFileFound) {
    PrintSyntax(run);
    console.WriteLine("#ERROR: file(s) not found: ");
  }

  const bool outputWritten = output.Finish();
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
