#include "main/shell_entry.h"

#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "util/program_location.h"

namespace pixmeta {
namespace {

constexpr std::string_view kVerbKey = "\\Directory\\shell\\NorvalePixMeta";
constexpr std::string_view kCommandKey = "\\Directory\\shell\\NorvalePixMeta\\command";
constexpr std::string_view kMenuText = "PixMeta KML";
constexpr std::string_view kMissingRights = "ERROR: Missing registry rights";
constexpr std::string_view kNotFound = "ERROR: Registry not found";
// The listing separates its lines by LF CR, line feed first.
constexpr std::string_view kListBreak = "\n\r";

std::unique_ptr<platform::Registry> ClassesRoot() {
  std::unique_ptr<platform::Registry> registry = platform::OpenUserRegistry();
  registry->SetRootKey(platform::RegistryRoot::ClassesRoot);
  return registry;
}

void ReportError(platform::Console& console, const std::exception& error) {
  console.WriteLine(std::string(kMissingRights) + "?\r\n" + error.what());
}

// The program file in double quotes.
std::string QuotedProgramPath() {
  const ProgramLocation location = FindProgramLocation();
  return '"' + location.programDir + location.programBaseName +
         std::string(platform::kProgramExtension) + '"';
}

// What follows the program in the command: %1 is the clicked folder.
std::string CommandArguments() {
  const std::string folder = std::string("%1") + platform::kSeparator;
  return " -kml -o=\"" + folder + "_pixmeta.kml\" \"" + folder + "*.jpg\"";
}

}  // namespace

void InstallShellEntry(platform::Console& console) {
  const std::string path = QuotedProgramPath();
  bool written = true;
  {
    const std::unique_ptr<platform::Registry> registry = ClassesRoot();
    try {
      if (registry->OpenKey(kVerbKey, true)) {
        registry->WriteString("MUIVerb", kMenuText);
        registry->WriteString("Icon", path);
        registry->CloseKey();
        if (registry->OpenKey(kCommandKey, true)) {
          registry->WriteString("", path + CommandArguments());
        }
      } else {
        console.WriteLine(kMissingRights);
        written = false;
      }
    } catch (const std::exception& error) {
      ReportError(console, error);
    }
  }
  ListShellEntry(console);
  if (written) {
    console.WriteLine("Directory Shell Extension Registered.. (right click on directory in explorer)");
  }
}

void UninstallShellEntry(platform::Console& console) {
  const std::unique_ptr<platform::Registry> registry = ClassesRoot();
  try {
    if (registry->DeleteKey(kVerbKey)) {
      console.WriteLine("Directory Shell Extension Deleted from registy");
    } else {
      console.WriteLine(kMissingRights);
    }
  } catch (const std::exception& error) {
    ReportError(console, error);
  }
}

void ListShellEntry(platform::Console& console) {
  std::string text(kListBreak);
  text += "Shell Context Menu Extension:";
  text += kListBreak;
  const std::unique_ptr<platform::Registry> registry = ClassesRoot();
  // A value that cannot be read is reported, not left to end the program.
  try {
    if (!registry->OpenKey(kVerbKey, false)) {
      console.WriteLine(kNotFound);
      return;
    }
    text += "MUIVerb=" + registry->ReadString("MUIVerb");
    text += kListBreak;
    text += "Icon=" + registry->ReadString("Icon");
    text += kListBreak;
    if (registry->OpenKey(kCommandKey, false)) {
      text += "Command=" + registry->ReadString("");
      text += kListBreak;
    } else {
      console.WriteLine(kNotFound);
    }
  } catch (const std::exception& error) {
    ReportError(console, error);
    return;
  }
  console.WriteLine(text);
}

}  // namespace pixmeta
