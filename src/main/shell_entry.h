// The folder context-menu entry that runs the KML export on a folder.
#pragma once

#include "platform/console.h"

namespace pixmeta {

void InstallShellEntry(platform::Console& console);
void UninstallShellEntry(platform::Console& console);

}  // namespace pixmeta
