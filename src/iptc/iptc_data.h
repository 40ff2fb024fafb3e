// The IPTC data sets of one JPEG file: read from the APP13 segment into a list of entries,
// looked up by key and listed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "iptc/iptc_edits.h"
#include "records/tag_entry.h"
#include "util/string_list.h"

namespace pixmeta {

// What the IPTC object needs of the JPEG container that owns it.
class IptcHost {
 public:
  // The bytes of the container's APP13 segment (two length bytes, then the payload);
  // empty when it has none.
  virtual std::string_view IptcSegment() const = 0;
  // Reads the APP13 segment bytes of another file, leaving the container as it is;
  // empty when the file has none.
  virtual std::string ReadIptcSegment(const std::string& path) = 0;
  // Replaces the APP13 segment, or adds one, with the payload; false when it cannot.
  virtual bool SetIptcBytes(std::string_view payload) = 0;

 protected:
  ~IptcHost() = default;
};

// Entries are TTagEntry records whose row gives record, tag (data-set number), name and
// desc; size is the key's maximum size and text holds the value bytes. A repeatable key is
// held once, where its first data set stands, its items as comma text: every data set read,
// trimmed, empty ones left out, duplicates kept.
// The held list and the container's APP13 bytes are independent: the Segment... and File...
// operations always read bytes. Each change of a key's value is also recorded as a key
// edit, which the APP13 editor applies to the bytes.
class TIPTCdata {
 public:
  explicit TIPTCdata(IptcHost& host) : host_(host) {}

  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  // index must be within 0..Count()-1.
  const TTagEntry& EntryAt(int32_t index) const { return entries_[static_cast<size_t>(index)]; }
  bool HasEntries() const { return !entries_.empty(); }

  // First entry whose name equals name ignoring letter case, or -1.
  int32_t IndexOfName(std::string_view name) const;
  void DeleteByName(std::string_view name);
  std::string ValueOf(std::string_view name, std::string_view defaultValue) const;
  // Zero-based key-table row of name ignoring letter case, or -1.
  static int32_t TableRowOf(std::string_view name);
  // The values of the entries named name ignoring letter case, each trimmed, joined by ",",
  // empty ones left out; a repeatable key's value is its comma text.
  std::string HeldValue(std::string_view name) const;

  // Stores the entry unless its tag is 0; the index of the last entry (-1 when none).
  int32_t Append(TTagEntry entry);
  // Empties the list and forgets its key edits.
  void Reset();

  // Sets the key: the held key's value (an empty value changes nothing), or a new entry of
  // the key's table row. A repeatable key's value is comma text, whose distinct items become
  // its data sets. Further entries of the key go. Index of the entry; -1 for a key neither
  // held nor in the table.
  int32_t StoreValue(std::string_view name, std::string_view value);
  // Removes every entry of the key; the index the first had, or -1 when none was held.
  int32_t RemoveKey(std::string_view name);
  // The keys changed since the load, each once, with their new data sets.
  const std::vector<IptcKeyEdit>& KeyEdits() const { return edits_; }

  // Reads the data sets of APP13 segment bytes into the list, replacing what it held.
  void LoadFromSegment(std::string_view data);
  // Loads from another file's APP13 segment; whether anything is held afterwards.
  bool LoadFromJpeg(const std::string& fileName);

  // Adds "name=value" per named data set of the bytes, the value as stored.
  static void SegmentPairList(std::string_view data, StringList& out);
  // The trimmed values of every data set named key (letter case counting) joined by ",",
  // empty values left out.
  static std::string SegmentJoinedValue(std::string_view data, std::string_view key);
  // The same on the container's APP13 segment.
  void FilePairList(StringList& out) const { SegmentPairList(host_.IptcSegment(), out); }
  std::string FileJoinedValue(std::string_view key) const {
    return SegmentJoinedValue(host_.IptcSegment(), key);
  }

  // Adds the held entries as an XML-like block, values unescaped.
  void XmlLines(StringList& out) const;

 private:
  void RecordEdit(const TTagEntry& entry, std::vector<std::string> values);

  IptcHost& host_;
  std::vector<TTagEntry> entries_;
  std::vector<IptcKeyEdit> edits_;
};

}  // namespace pixmeta
