// The program's arguments, without the program path, viewed where the caller keeps them:
// a run over tens of thousands of shell-expanded names never copies them.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pixmeta {

class Arguments {
 public:
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

}  // namespace pixmeta
