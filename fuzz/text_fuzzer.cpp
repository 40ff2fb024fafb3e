// libFuzzer target: the date parsers and validation, dates in file names, the text helpers,
// comma text and the skip-table search, over any text. The search is checked against the
// standard library's, and a date that parses is checked to read back from its own text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "exif/value_format.h"
#include "iptc/comma_text.h"
#include "util/date_format.h"
#include "util/date_valid.h"
#include "util/pixmeta_lib.h"
#include "util/skip_search.h"
#include "util/text_utils.h"

namespace {

using namespace pixmeta;

void Dates(const std::string& text, uint8_t window, std::string_view format) {
  if (const std::optional<double> days = TryParseExifDate(text)) {
    const std::string again = ExifDateText(*days);
    // A date the parser accepts is one the text form can write, and it reads back the same.
    if (again.empty()) std::abort();
    const std::optional<double> back = TryParseExifDate(again);
    if (!back || std::fabs(*back - *days) > 1.0 / 86400) std::abort();
    FormatDayCount(*days, format);
  }
  ParseExifDate(text);
  std::string checked = text;
  if (IsValidDateText(checked, window)) {
    // A valid text is rewritten in the canonical form, which must read as a date.
    if (!CanonicalDateDays(checked)) std::abort();
  }
  CanonicalDateDays(text);
  TrimToDigits(text);
  ParseRationalText(text);
}

void Texts(const std::string& text, const std::string& other, int n) {
  FileNameKey(text, n);
  SqlSafeText(text);
  CapitalizeWords(text);
  if (FileNameSlug(text).size() != text.size()) std::abort();
  FileNameWithoutExt(text);
  DigitGroupAt(text, n);
  NumberRunAt(text, n);
  IsNumberText(text);
  LooksLikeUtf8(text);
  Utf8ToAnsiText(text);
  MetaText(text);
  CleanText(text);
  TokenAt(text, n, ',');
  Unquote(text);
  DeleteEvery(other, text);
  LineBreaksToChar(text, ' ');
  UnescapeControlChars(EscapeControlChars(text));
  int32_t value = 0;
  ParseInt32(text, value);
  std::string list = other;
  AddListItem(list, text, ",", "");
  AddListItems(list, text, ";", "");
  AddListWords(list, text, " ", "");
}

void CommaText(const std::string& existing, const std::string& added) {
  // Written as comma text, the items read back as they were.
  const std::vector<std::string> items = ParseCommaText(existing);
  if (ParseCommaText(JoinCommaText(items)) != items) std::abort();
  const std::vector<std::string> distinct = DistinctItems(ParseCommaText(existing + added));
  if (ParseCommaText(JoinCommaText(distinct)) != distinct) std::abort();
  // Any items, separators and quotes included, read back whole once they are trimmed.
  std::vector<std::string> pieces = {std::string(Trim(existing)), std::string(Trim(added))};
  std::erase_if(pieces, [](const std::string& piece) { return piece.empty(); });
  if (ParseCommaText(JoinCommaText(pieces)) != pieces) std::abort();
}

void Search(const std::string& text, const std::string& pattern) {
  if (pattern.empty()) return;
  SkipTable table{};
  BuildSkipTable(pattern, table);
  if (SkipScan(text, pattern, table) != std::string_view(text).find(pattern)) std::abort();
  BuildSkipTableNoCase(pattern, table);
  SkipScanNoCase(text, pattern, table);
  TextIndexFrom(text, pattern, 1);
  TextIndexFromNoCase(text, pattern, 1);
  SubstituteText(text, pattern, "x", false, 0);
  SubstituteEvery(pattern, "", text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const auto window = provider.ConsumeIntegral<uint8_t>();
  const int n = provider.ConsumeIntegralInRange<int>(-40, 40);
  const std::string other = provider.ConsumeRandomLengthString(64);
  const std::string text = provider.ConsumeRemainingBytesAsString();
  Dates(text, window, other);
  Texts(text, other, n);
  CommaText(text, other);
  Search(text, other);
  return 0;
}
