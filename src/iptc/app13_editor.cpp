#include "iptc/app13_editor.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

#include "iptc/iptc_table.h"
#include "iptc/iptc_writer.h"
#include "iptc/photoshop_resources.h"
#include "platform/code_page.h"
#include "records/byte_reader.h"
#include "util/pixmeta_lib.h"

namespace pixmeta {
namespace {

// The value of the envelope's coded character set (1:90) that declares UTF-8: ESC % G.
constexpr std::string_view kUtf8Declaration{"\x1B%G", 3};
constexpr std::string_view kRecordVersion{"\0\x02", 2};
constexpr size_t kDataSetHeader = 5;
constexpr size_t kStreamPerSegment = kMaxSegmentPayload - kPhotoshopSignature.size();

struct DataSet {
  uint8_t record = 0;
  uint8_t number = 0;
  std::string bytes;  // the whole data set, header included

  std::string_view Value() const { return std::string_view(bytes).substr(kDataSetHeader); }
};

struct DataSets {
  std::vector<DataSet> sets;
  std::string_view rest;  // bytes after the last whole data set
};

// The data sets of an IPTC resource, each as stored, up to the first bytes that are none.
DataSets ParseDataSets(std::string_view data) {
  DataSets parsed;
  const tEndInd reader{.bigEndian = true, .buffer = data};
  int64_t pos = 1;
  while (ClampedBytes(data, pos, 1) == "\x1C") {
    const std::optional<uint16_t> length = reader.Read16(pos + 3);
    if (!length || !FitsIn(data.size(), pos + 5, *length)) break;
    const std::string_view bytes = ClampedBytes(data, pos, kDataSetHeader + *length);
    parsed.sets.push_back({.record = static_cast<uint8_t>(bytes[1]),
                           .number = static_cast<uint8_t>(bytes[2]),
                           .bytes = std::string(bytes)});
    pos += static_cast<int64_t>(bytes.size());
  }
  parsed.rest = data.substr(static_cast<size_t>(pos - 1));
  return parsed;
}

bool IsAscii(std::string_view text) {
  return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

bool IsOf(const DataSet& set, const IptcKeyEdit& edit) {
  return set.record == edit.record && set.number == edit.number;
}

bool IsEdited(const DataSet& set, std::span<const IptcKeyEdit> edits) {
  return std::ranges::any_of(edits, [&set](const IptcKeyEdit& edit) { return IsOf(set, edit); });
}

std::string KeyName(uint8_t record, uint8_t number) {
  for (const TagRow& row : IptcKeyTable()) {
    if (row.record == record && row.tag == number) return std::string(row.name);
  }
  return std::string(CustomRow(record, number).name);
}

// The value in the character set the data is written in. A command-line value that is not
// valid UTF-8 is Windows-1252, the program's code page.
std::string Encoded(std::string_view value, bool utf8) {
  if (IsAscii(value)) return std::string(value);
  const bool isUtf8 = platform::IsUtf8(value);
  if (utf8) return isUtf8 ? std::string(value) : platform::Windows1252ToUtf8(value);
  return isUtf8 ? Utf8ToWindows1252(value) : std::string(value);
}

// Where a new data set goes: before the first of its record with a higher number, else after
// the last of its record; in a record that has none yet, after the data sets of lower records.
size_t InsertionPoint(const std::vector<DataSet>& sets, uint8_t record, uint8_t number) {
  std::optional<size_t> afterRecord;
  size_t afterLower = 0;
  for (size_t i = 0; i < sets.size(); ++i) {
    if (sets[i].record == record) {
      if (sets[i].number > number) return i;
      afterRecord = i + 1;
    } else if (sets[i].record < record) {
      afterLower = i + 1;
    }
  }
  return afterRecord.value_or(afterLower);
}

DataSet MakeDataSet(uint8_t record, uint8_t number, std::string_view value) {
  return {.record = record, .number = number, .bytes = *EncodeDataSet(record, number, value)};
}

// Replaces the key's data sets by made, where its first one stood; a new key is placed by
// InsertionPoint, and a record 2 begun by it gets its record version first.
void Replace(std::vector<DataSet>& sets, const IptcKeyEdit& edit, std::vector<DataSet> made) {
  const auto first = std::ranges::find_if(sets, [&](const DataSet& s) { return IsOf(s, edit); });
  size_t at = static_cast<size_t>(first - sets.begin());
  if (first != sets.end()) {
    std::erase_if(sets, [&](const DataSet& s) { return IsOf(s, edit); });
  } else {
    if (made.empty()) return;
    at = InsertionPoint(sets, edit.record, edit.number);
    const bool recordTwoBegins =
        edit.record == 2 && edit.number != 0 &&
        std::ranges::none_of(sets, [](const DataSet& s) { return s.record == 2; });
    if (recordTwoBegins) made.insert(made.begin(), MakeDataSet(2, 0, kRecordVersion));
  }
  sets.insert(sets.begin() + static_cast<std::ptrdiff_t>(at), std::make_move_iterator(made.begin()),
              std::make_move_iterator(made.end()));
}

// Whether new text is written as UTF-8, and whether the data must first declare it.
struct Charset {
  bool utf8 = false;
  bool declare = false;
};

Charset ChooseCharset(const std::vector<DataSet>& sets, std::span<const IptcKeyEdit> edits) {
  const auto declaration = std::ranges::find_if(
      sets, [](const DataSet& s) { return s.record == 1 && s.number == 90; });
  if (declaration != sets.end()) return {.utf8 = declaration->Value() == kUtf8Declaration};
  const bool newText = std::ranges::any_of(edits, [](const IptcKeyEdit& edit) {
    return !std::ranges::all_of(edit.values, IsAscii);
  });
  if (!newText) return {};
  // Undeclared text reads as Windows-1252 (Latin-1) elsewhere: declaring UTF-8 must not
  // change how any kept value reads.
  const bool keptAscii = std::ranges::all_of(sets, [&edits](const DataSet& s) {
    return (s.record != 1 && s.record != 2) || IsEdited(s, edits) || IsAscii(s.Value());
  });
  return {.utf8 = keptAscii, .declare = keptAscii};
}

// The IPTC resource's data with the edits made; fresh data begins with the record version.
std::optional<std::string> EditedIptcData(std::string_view old, bool fresh,
                                          std::span<const IptcKeyEdit> edits, std::string& error) {
  DataSets parsed = ParseDataSets(old);
  std::vector<DataSet>& sets = parsed.sets;
  if (fresh) sets.push_back(MakeDataSet(2, 0, kRecordVersion));
  const Charset charset = ChooseCharset(sets, edits);
  for (const IptcKeyEdit& edit : edits) {
    std::vector<DataSet> made;
    for (const std::string& value : edit.values) {
      const std::string encoded = Encoded(value, charset.utf8);
      std::optional<std::string> bytes = EncodeDataSet(edit.record, edit.number, encoded);
      if (!bytes) {
        error = "IPTC " + KeyName(edit.record, edit.number) + " value of " +
                std::to_string(encoded.size()) + " bytes is longer than " +
                std::to_string(kMaxDataSetValue);
        return std::nullopt;
      }
      made.push_back({.record = edit.record, .number = edit.number, .bytes = std::move(*bytes)});
    }
    Replace(sets, edit, std::move(made));
  }
  if (charset.declare) {
    sets.insert(sets.begin() + static_cast<std::ptrdiff_t>(InsertionPoint(sets, 1, 90)),
                MakeDataSet(1, 90, kUtf8Declaration));
  }
  std::string data;
  for (const DataSet& set : sets) data += set.bytes;
  data += parsed.rest;
  return data;
}

std::optional<std::string> Md5(std::string_view data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr) != 1) {
    return std::nullopt;
  }
  return std::string(reinterpret_cast<const char*>(digest), length);
}

bool IsResource(const PhotoshopResource& resource, uint16_t id) {
  return resource.type == kResourceType && resource.id == id;
}

// The stream split as the segments were: each of their sizes but the last, and the rest in
// as few segments as hold it.
std::vector<std::string> SplitStream(std::string_view stream,
                                     std::span<const std::string_view> segments) {
  std::vector<std::string> payloads;
  size_t pos = 0;
  const auto add = [&](size_t count) {
    payloads.push_back(std::string(kPhotoshopSignature) + std::string(stream.substr(pos, count)));
    pos += count;
  };
  for (size_t i = 0; i + 1 < segments.size() && pos < stream.size(); ++i) {
    add(std::min(segments[i].size() - kPhotoshopSignature.size(), stream.size() - pos));
  }
  while (pos < stream.size()) add(std::min(kStreamPerSegment, stream.size() - pos));
  return payloads;
}

App13Edit Unchanged(std::span<const std::string_view> segments) {
  App13Edit edit;
  edit.payloads.assign(segments.begin(), segments.end());
  return edit;
}

App13Edit Failed(std::string why) {
  App13Edit edit;
  edit.error = std::move(why);
  return edit;
}

}  // namespace

App13Edit EditApp13(std::span<const std::string_view> segments,
                    std::span<const IptcKeyEdit> edits) {
  if (edits.empty()) return Unchanged(segments);
  std::string stream;
  for (const std::string_view segment : segments) {
    if (!segment.starts_with(kPhotoshopSignature)) {
      return Failed("an APP13 segment holds no Photoshop image resources");
    }
    stream += segment.substr(kPhotoshopSignature.size());
  }
  const ResourceStream parsed = ParseResources(stream);
  const auto iptc = std::ranges::find_if(parsed.resources, [](const PhotoshopResource& r) {
    return IsResource(r, kIptcResourceId);
  });
  const bool found = iptc != parsed.resources.end();
  const bool adds =
      std::ranges::any_of(edits, [](const IptcKeyEdit& e) { return !e.values.empty(); });
  if (!found && !adds) return Unchanged(segments);

  App13Edit result;
  const std::string_view oldData = found ? iptc->data : std::string_view();
  const std::optional<std::string> data = EditedIptcData(oldData, !found, edits, result.error);
  if (!data) return result;
  if (found && *data == oldData) return Unchanged(segments);
  const std::string resource =
      ResourceBytes(kResourceType, kIptcResourceId, found ? iptc->name : kEmptyResourceName, *data);
  const std::optional<std::string> digest = Md5(*data);

  std::string edited;
  bool placed = false;
  for (const PhotoshopResource& r : parsed.resources) {
    if (!found && !placed && r.id > kIptcResourceId) {
      edited += resource;
      placed = true;
    }
    if (found && &r == &*iptc) {
      edited += resource;
    } else if (IsResource(r, kIptcDigestId)) {
      if (!digest) return Failed("the IPTC digest can not be computed");
      edited += ResourceBytes(r.type, r.id, r.name, *digest);
    } else {
      edited += r.bytes;
    }
  }
  if (!found && !placed) edited += resource;
  edited += parsed.rest;
  result.payloads = SplitStream(edited, segments);
  return result;
}

}  // namespace pixmeta
