#include "iptc/iptc_data.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "records/byte_reader.h"
#include "iptc/comma_text.h"
#include "iptc/iptc_table.h"
#include "platform/code_page.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

constexpr std::string_view kSignature = "Photoshop 3.0";
constexpr char kMarker = 0x1C;

struct DataSet {
  uint8_t record = 0;
  uint8_t number = 0;
  std::string_view value;
};

bool IsIptcRecord(char c) { return c == 2 || c == 8; }

// 1-based position of the record byte of the first data set after the signature (from
// position 13 when there is no signature), or 0 when there is none.
int64_t FirstDataSet(std::string_view data) {
  const size_t signature = data.find(kSignature);
  size_t i = signature == std::string_view::npos ? 12 : signature + kSignature.size();
  for (; i + 1 < data.size(); ++i) {
    if (data[i] == kMarker && IsIptcRecord(data[i + 1])) return static_cast<int64_t>(i) + 2;
  }
  return 0;
}

// Steps from data set to data set by their lengths. The byte after a value is taken as the
// next marker without looking at it; a value cut short by the end of the data ends the walk.
template <typename Visit>
void ForEachDataSet(std::string_view data, Visit&& visit) {
  int64_t pos = FirstDataSet(data);
  if (pos == 0) return;
  const tEndInd reader{.bigEndian = true, .buffer = data};
  const auto size = static_cast<int64_t>(data.size());
  while (pos < size - 2) {
    const std::optional<uint16_t> length = reader.Read16(pos + 2);
    if (!length) break;
    visit(DataSet{static_cast<uint8_t>(data[static_cast<size_t>(pos - 1)]),
                  static_cast<uint8_t>(data[static_cast<size_t>(pos)]),
                  ClampedBytes(data, pos + 4, *length)});
    pos += 4 + int64_t{*length} + 1;
  }
}

// The row a data set is read with; null for the record version and for records other
// than 2 and 8, which are skipped.
const TagRow* RowOf(const DataSet& set) {
  if (set.record != 2 && set.record != 8) return nullptr;
  // The first table row of each data set of records 2 and 8, looked up once.
  static const std::array<const TagRow*, 512> kFirstRows = [] {
    std::array<const TagRow*, 512> rows{};
    for (const TagRow& row : IptcKeyTable()) {
      const TagRow*& slot = rows[(row.record == 8 ? 256 : 0) + row.tag];
      if (slot == nullptr) slot = &row;
    }
    return rows;
  }();
  const TagRow* row = kFirstRows[(set.record == 8 ? 256 : 0) + set.number];
  if (row == nullptr) return &CustomRow(set.record, set.number);
  return row->name == "SKIP" ? nullptr : row;
}

}  // namespace

int32_t TIPTCdata::IndexOfName(std::string_view name) const {
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (platform::EqualNoCase(entries_[i].name(), name)) return static_cast<int32_t>(i);
  }
  return -1;
}

void TIPTCdata::DeleteByName(std::string_view name) {
  const int32_t index = IndexOfName(name);
  if (index >= 0) entries_.erase(entries_.begin() + index);
}

std::string TIPTCdata::ValueOf(std::string_view name, std::string_view defaultValue) const {
  const int32_t index = IndexOfName(name);
  return std::string(index >= 0 ? std::string_view(EntryAt(index).text) : defaultValue);
}

int32_t TIPTCdata::TableRowOf(std::string_view name) { return pixmeta::TableRowOf(name); }

std::string TIPTCdata::HeldValue(std::string_view name) const {
  std::string joined;
  for (const TTagEntry& entry : entries_) {
    if (!platform::EqualNoCase(entry.name(), name)) continue;
    const std::string_view value = Trim(entry.text);
    if (!joined.empty() && !value.empty()) joined += ',';
    joined += value;
  }
  return joined;
}

int32_t TIPTCdata::Append(TTagEntry entry) {
  if (entry.tag() != 0) entries_.push_back(std::move(entry));
  return Count() - 1;
}

void TIPTCdata::Reset() {
  entries_.clear();
  edits_.clear();
}

void TIPTCdata::RecordEdit(const TTagEntry& entry, std::vector<std::string> values) {
  const auto record = static_cast<uint8_t>(entry.record());
  const auto number = static_cast<uint8_t>(entry.tag());
  const auto same = std::ranges::find_if(edits_, [&](const IptcKeyEdit& edit) {
    return edit.record == record && edit.number == number;
  });
  if (same != edits_.end()) {
    same->values = std::move(values);
  } else {
    edits_.push_back({.record = record, .number = number, .values = std::move(values)});
  }
}

int32_t TIPTCdata::StoreValue(std::string_view name, std::string_view value) {
  int32_t index = IndexOfName(name);
  if (index >= 0 && value.empty()) return index;
  if (index < 0) {
    const int32_t row = TableRowOf(name);
    if (row < 0) return -1;
    TTagEntry entry;
    entry.row = &IptcKeyTable()[static_cast<size_t>(row)];
    entry.size = entry.row->size;
    if (entry.tag() == 0) return Append(std::move(entry));
    index = Append(std::move(entry));
  }
  TTagEntry& entry = entries_[static_cast<size_t>(index)];
  std::vector<std::string> values;
  if (IsRepeatable(entry.tag())) {
    values = DistinctItems(ParseCommaText(value));
    entry.text = JoinCommaText(values);
  } else {
    entry.text = value;
    values.emplace_back(value);
  }
  RecordEdit(entry, std::move(values));
  // The key is now the one entry, as its data sets are now those of its value.
  const std::string_view heldName = entry.name();
  for (size_t i = entries_.size(); i-- > static_cast<size_t>(index) + 1;) {
    if (entries_[i].name() == heldName) {
      entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  return index;
}

int32_t TIPTCdata::RemoveKey(std::string_view name) {
  const int32_t index = IndexOfName(name);
  if (index < 0) return -1;
  RecordEdit(entries_[static_cast<size_t>(index)], {});
  std::erase_if(entries_,
                [name](const TTagEntry& e) { return platform::EqualNoCase(e.name(), name); });
  return index;
}

void TIPTCdata::LoadFromSegment(std::string_view data) {
  Reset();
  // Each repeatable key's entry, made where its first data set stands, gets its items once
  // all data sets are read.
  std::vector<std::pair<int32_t, std::vector<std::string>>> lists;
  ForEachDataSet(data, [&](const DataSet& set) {
    const TagRow* row = RowOf(set);
    if (row == nullptr) return;
    if (IsRepeatable(row->tag)) {
      // Record 8 has no repeatable row: its data sets 20 and 25 are dropped.
      if (row->name.starts_with("Custom_")) return;
      const int32_t index = IndexOfName(row->name);
      auto list = std::ranges::find_if(lists, [index](const auto& l) { return l.first == index; });
      if (list == lists.end()) {
        TTagEntry entry;
        entry.row = row;
        entry.size = row->size;
        list = lists.insert(lists.end(), {Append(std::move(entry)), {}});
      }
      const std::string_view item = Trim(set.value);
      if (!item.empty()) list->second.emplace_back(item);
      return;
    }
    TTagEntry entry;
    entry.row = row;
    entry.size = row->size;
    entry.text = set.value;
    Append(std::move(entry));
  });
  for (auto& [index, items] : lists) {
    entries_[static_cast<size_t>(index)].text = JoinCommaText(items);
  }
}

bool TIPTCdata::LoadFromJpeg(const std::string& fileName) {
  Reset();
  const std::string segment = host_.ReadIptcSegment(fileName);
  if (!segment.empty()) LoadFromSegment(segment);
  return HasEntries();
}

void TIPTCdata::SegmentPairList(std::string_view data, StringList& out) {
  ForEachDataSet(data, [&out](const DataSet& set) {
    if (const TagRow* row = RowOf(set)) out.AddJoined({row->name, "=", set.value});
  });
}

std::string TIPTCdata::SegmentJoinedValue(std::string_view data, std::string_view key) {
  std::string joined;
  ForEachDataSet(data, [&](const DataSet& set) {
    const TagRow* row = RowOf(set);
    if (row == nullptr || row->name != key) return;
    const std::string_view value = Trim(set.value);
    if (!joined.empty() && !value.empty()) joined += ',';
    joined += value;
  });
  return joined;
}

void TIPTCdata::XmlLines(StringList& out) const {
  out.Add("   <ITPCdata>");
  for (const TTagEntry& entry : entries_) AppendXmlElement(out, entry);
  out.Add("   </ITPCdata>");
}

}  // namespace pixmeta
