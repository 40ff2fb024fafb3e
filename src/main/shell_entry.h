// The folder context-menu entry that runs the KML export on a folder, kept in the registry
// below HKEY_CLASSES_ROOT\Directory\shell.
#pragma once

#include "platform/console.h"

namespace pixmeta {

// Writes the entry, then prints what is registered.
void InstallShellEntry(platform::Console& console);
void UninstallShellEntry(platform::Console& console);
// Prints the registered values.
void ListShellEntry(platform::Console& console);

}  // namespace pixmeta
