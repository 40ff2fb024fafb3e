// End-to-end tests of the JSON line: what it holds, that it is the run's only output, and
// that it is valid JSON once wrapped in braces.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fixtures/cli_runner.h"
#include "fixtures/iptc_builder.h"
#include "fixtures/jpeg_builder.h"
#include "fixtures/sample_photos.h"
#include "fixtures/tiff_builder.h"

namespace pixmeta::test {
namespace {

struct JsonValue {
  bool quoted = false;
  std::string text;  // a string decoded; a number or word as written
  bool operator==(const JsonValue&) const = default;
};
using JsonObject = std::map<std::string, JsonValue>;

// A strict reader of one object of string, number, true and false members, without blanks
// between tokens (the program writes none); nothing when the text is anything else.
class ObjectReader {
 public:
  explicit ObjectReader(std::string_view text) : s_(text) {}

  std::optional<JsonObject> Read() {
    JsonObject members;
    if (!Take('{')) return std::nullopt;
    if (!Take('}')) {
      do {
        std::string key;
        JsonValue value;
        if (!String(key) || !Take(':') || !Value(value) || !members.emplace(key, value).second) {
          return std::nullopt;
        }
      } while (Take(','));
      if (!Take('}')) return std::nullopt;
    }
    if (i_ != s_.size()) return std::nullopt;
    return members;
  }

 private:
  bool Take(char c) {
    if (i_ >= s_.size() || s_[i_] != c) return false;
    ++i_;
    return true;
  }
  bool String(std::string& out) {
    if (!Take('"')) return false;
    while (i_ < s_.size()) {
      const char c = s_[i_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) return false;
      const char e = s_[i_++];
      const size_t simple = std::string_view("\"\\/bfnrt").find(e);
      if (simple != std::string_view::npos) {
        out += "\"\\/\b\f\n\r\t"[simple];
        continue;
      }
      const std::string hex(s_.substr(i_, 4));
      if (e != 'u' || !std::regex_match(hex, std::regex("[0-9a-fA-F]{4}"))) return false;
      const unsigned long code = std::stoul(hex, nullptr, 16);
      if (code >= 0x80) return false;  // only control characters are escaped
      out += static_cast<char>(code);
      i_ += 4;
    }
    return false;
  }
  bool Value(JsonValue& value) {
    if (i_ < s_.size() && s_[i_] == '"') {
      value.quoted = true;
      return String(value.text);
    }
    const size_t end = s_.find_first_of(",}", i_);
    value.text = s_.substr(i_, end - i_);
    i_ = std::min(end, s_.size());
    static const std::regex kNumberOrWord("true|false|-?(0|[1-9][0-9]*)(\\.[0-9]+)?");
    return std::regex_match(value.text, kNumberOrWord);
  }

  std::string_view s_;
  size_t i_ = 0;
};

JsonValue Bare(std::string text) { return {false, std::move(text)}; }
JsonValue Quoted(std::string text) { return {true, std::move(text)}; }

// UCS-2 bytes with their terminator, as the Windows XP tags hold them.
std::string XpText(std::string_view ascii) {
  std::string bytes;
  for (const char c : ascii) bytes += {c, '\0'};
  return bytes + std::string(2, '\0');
}

class Json : public ::testing::Test {
 protected:
  // The run's output, which must be one line, with exit code 0 and no logs.
  std::string Line(const std::vector<std::string>& args) {
    const CliResult r = box_.Run(args);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(SplitLines(r.out).size(), 1u) << r.out;
    EXPECT_TRUE(r.out.ends_with('\n'));
    EXPECT_FALSE(std::filesystem::exists(box_.binDir() + "pixmeta-info.txt"));
    EXPECT_FALSE(std::filesystem::exists(box_.binDir() + "pixmeta-error.txt"));
    return r.out.substr(0, r.out.find('\n'));
  }
  std::optional<JsonObject> Object(const std::vector<std::string>& args) {
    return ObjectReader("{" + Line(args) + "}").Read();
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    return box_.dir().Write("work/" + name, bytes);
  }
  CliSandbox box_;
};

TEST_F(Json, TheFirstFileAloneGivesTheOnlyLineWithoutBannerOrLogs) {
  const std::string harbour = Write("harbour.jpg", HarbourPhoto());
  const std::string meadow = Write("meadow.jpg", MeadowPhoto());
  EXPECT_EQ(Line({"-j", "harbour.jpg", "meadow.jpg"}),
            "\"width\":64,\"height\":48,\"datetime\":\"2011:07:14 21:42:05\",\"title\":"
            "\"Harbour at dusk, Boats coming home, Evening at the harbour, Boats coming home to "
            "the harbour, Harbour, Stockholm, Sweden\",\"latitude\":59.329167,"
            "\"longitude\":18.067500");
  EXPECT_EQ(Line({"-j", "meadow.jpg", "harbour.jpg"}),
            "\"width\":48,\"height\":32,\"datetime\":\"2010:06:05 14:30:00\"");
  // The title comes from the edited container; the second file is never reached.
  const std::string meadowBytes = ReadBytes(meadow);
  EXPECT_TRUE(Line({"-j", "-c=Edited", "harbour.jpg", "meadow.jpg"})
                  .find("\"title\":\"Edited, Boats coming home,") != std::string::npos);
  EXPECT_EQ(ReadBytes(meadow), meadowBytes);
}

TEST_F(Json, QuotesBackslashesAndControlCharactersStayValidJson) {
  TiffBuilder tiff;
  const int gps = tiff.AddIfd();
  tiff.Link(0, 0x8825, gps);
  tiff.Ascii(gps, 0x0001, "S")
      .Rational(gps, 0x0002, {{33, 1}, {51, 1}, {25, 1}})
      .Ascii(gps, 0x0003, "W")
      .Rational(gps, 0x0004, {{151, 1}, {12, 1}, {54, 1}});
  // A member head inside a value is escaped, so it no longer hides the latitude member.
  const std::string comment = "Say \"cheese\", \"latitude\":0 \\ C:\\x\r\nnext\tcol\x01 caf\xE9";
  Write("south.jpg", JpegBuilder().Exif(tiff.Build()).Comment(comment).Build());
  EXPECT_EQ(Object({"-j", "south.jpg"}),
            (JsonObject{{"width", Bare("16")},
                        {"height", Bare("8")},
                        {"title", Quoted("Say \"cheese\", \"latitude\":0 \\ C:\\x\\nnext\\tcol\x01 "
                                         "caf\xC3\xA9")},
                        {"latitude", Bare("-33.856944")},
                        {"longitude", Bare("-151.215000")}}));
}

TEST_F(Json, TheTitleTakesEachTextOnceAndNeedsAnExifSegment) {
  TiffBuilder tiff;
  // EXIF texts in UTF-8 are read into the code page, which has no omega.
  tiff.Ascii(0, 0x010E, "Caf\xC3\xA9 at noon \xCE\xA9")
      .Raw(0, 0x9C9B, 1, 10, XpText("Noon"))
      .Raw(0, 0x9C9C, 1, 12, XpText("Lunch"))
      .Raw(0, 0x9C9F, 1, 12, XpText("Lunch"));
  const std::string iptc = IptcBuilder()
                               .Add(2, 120, "Lunch")
                               .Add(2, 80, "Anna Lind")
                               .Add(2, 5, "Noon")
                               .Add(2, 90, " Oslo ")
                               .Add(2, 90, "Bergen")
                               .Payload();
  Write("lunch.jpg", JpegBuilder().Exif(tiff.Build()).Add(0xED, iptc).Build());
  EXPECT_EQ(Object({"-j", "lunch.jpg"}),
            (JsonObject{
                {"width", Bare("16")},
                {"height", Bare("8")},
                {"title", Quoted("Lunch, Caf\xC3\xA9 at noon ?, Noon, Anna Lind, Oslo,Bergen")}}));
  Write("plain.jpg", JpegBuilder().App0().Add(0xED, iptc).Comment("Lunch").Build());
  EXPECT_EQ(Line({"-j", "plain.jpg"}), "\"width\":16,\"height\":8");
  Write("notes.jpg", "not a photo");
  EXPECT_EQ(Line({"-j", "notes.jpg"}), "");
}

}  // namespace
}  // namespace pixmeta::test
