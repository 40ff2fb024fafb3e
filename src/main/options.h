// The command line: arguments into RunSettings, and the banner, syntax and help texts.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "actions/run_context.h"
#include "util/arguments.h"

namespace pixmeta {

inline constexpr std::string_view kProgramTitle = "Pixmeta Photo Tool";
inline constexpr std::string_view kProgramVersion = "0.31";
inline constexpr std::string_view kMakerName = "Pixmeta Team";
inline constexpr std::string_view kWebAddress = "https://pixmeta.example.org";

enum class ParseOutcome {
  Continue,        // go on with the run
  NoArguments,     // the syntax text was printed; the run ends with exit code 1
  ShellEntryDone,  // a context-menu option ran; the run ends with exit code 0
};

// Reads the arguments (without the program path) into run.settings and logs each one in
// run.infoLog. Help options print at once, in argument order.
ParseOutcome ParseCommandLine(const Arguments& args, RunContext& run);

// Every spelling of the parameter table and of the flag table, in table order: what the
// manual page and the shell completion must name.
std::vector<std::string_view> ParameterSpellings();
std::vector<std::string_view> FlagSpellings();

void PrintBanner(RunContext& run);
void PrintSyntax(RunContext& run);
void PrintHelp(RunContext& run);
void PrintMoreHelp(RunContext& run);

}  // namespace pixmeta
