// The program's arguments, without the program path, viewed where the caller keeps them:
// a run over tens of thousands of shell-expanded names never copies them.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pixmeta {

class Arguments {
 public:
  Arguments() = default;
  // main's arguments: argv[1] to argv[argc - 1].
  Arguments(int argc, const char* const* argv)
      : argv_(argc > 1 ? std::span<const char* const>(argv + 1, static_cast<size_t>(argc - 1))
                       : std::span<const char* const>()) {}
  Arguments(const std::vector<std::string>& args) : strings_(args) {}  // NOLINT: implicit

  size_t size() const { return strings_.empty() ? argv_.size() : strings_.size(); }
  bool empty() const { return size() == 0; }
  std::string_view operator[](size_t i) const {
    return strings_.empty() ? std::string_view(argv_[i]) : std::string_view(strings_[i]);
  }

 private:
  std::span<const char* const> argv_;
  std::span<const std::string> strings_;
};

// The file arguments among the program's arguments, in order: a mark per argument rather
// than a list of them, so tens of thousands of names cost a few kilobytes.
class FileArguments {
 public:
  // Marks argument index of args as a file argument; every mark is of the same args, which
  // must stay where they are (the views are copied, not the texts).
  void Add(const Arguments& args, size_t index) {
    args_ = args;
    if (marks_.size() < args.size()) marks_.resize(args.size(), false);
    marks_[index] = true;
  }

  // The file argument at or after position from, with its position; none after the last.
  std::optional<std::pair<std::string_view, size_t>> Next(size_t from) const {
    for (size_t i = from; i < marks_.size(); ++i) {
      if (marks_[i]) return std::pair(args_[i], i);
    }
    return std::nullopt;
  }

 private:
  Arguments args_;
  std::vector<bool> marks_;
};

}  // namespace pixmeta
