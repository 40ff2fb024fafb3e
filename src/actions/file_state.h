// What the steps of one file share in the per-file loop.
#pragma once

#include <string>

#include "util/string_list.h"

namespace pixmeta {

struct FileState {
  std::string path;
  size_t index = 0;           // position of the file in the file list
  bool severalFiles = false;  // the file list holds more than one file
  StringList report;     // section headings and key=value lines of the file
  std::string latitude;  // signed coordinate texts, from the report
  std::string longitude;
  std::string line;  // a line being made, kept for its memory
  bool fileChanged = false;  // an edit changed the loaded container
  // The capture date text (DateTimeOriginal, else DateTimeDigitized, else DateTime) as the
  // file holds it after this run's edits; empty when it has none.
  std::string captureDate;
  std::string title;  // the JSON title, made while the container is loaded
};

}  // namespace pixmeta
