// Folder context-menu entries for the Linux file managers: a Nautilus script, a Nemo
// action, a Dolphin service menu and a Caja (file-manager actions) entry per entry.
#pragma once

#include <string>
#include <vector>

namespace pixmeta::platform {

struct FolderMenuEntry {
  std::string verb;     // the entry's key name, which tells its files apart
  std::string label;    // the menu text
  // The command line, split as a Windows command line is (blanks separate, double quotes
  // group and are removed), with %1 standing for the clicked folder.
  std::string command;
};

// Writes the four files of every entry in the file managers' folders below dataHome (which
// ends in a separator) and removes the files written earlier for entries that are no longer
// given, or that were named otherwise. Files that this function did not write are left
// alone. False, with errorText, when a file could not be written or removed.
bool PublishFolderMenus(const std::string& dataHome, const std::vector<FolderMenuEntry>& entries,
                        std::string& errorText);

}  // namespace pixmeta::platform
