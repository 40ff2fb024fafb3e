// libFuzzer target: IPTC data sets, read straight from segment bytes and from the APP13
// segment of a JPEG file, then edited; and the APP13 editor, with random key edits on
// random segments, whose result must keep every resource and data set it did not edit.
#include <fuzzer/FuzzedDataProvider.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "exif/jpeg_container.h"
#include "iptc/app13_editor.h"
#include "iptc/iptc_data.h"
#include "iptc/iptc_writer.h"
#include "iptc/photoshop_resources.h"
#include "scratch_folder.h"

namespace {

using pixmeta::IptcKeyEdit;
using pixmeta::TIPTCdata;

// Holds one segment, as a container holds its APP13.
class SegmentHost final : public pixmeta::IptcHost {
 public:
  explicit SegmentHost(std::string segment) : segment_(std::move(segment)) {}
  std::string_view IptcSegment() const override { return segment_; }
  std::string ReadIptcSegment(const std::string&) override { return {}; }
  bool SetIptcBytes(std::string_view payload) override {
    if (payload.size() > pixmeta::kMaxSegmentPayload) return false;
    const size_t n = payload.size() + 2;
    segment_ = {static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)};
    segment_ += payload;
    return true;
  }

 private:
  std::string segment_;
};

void Check(bool condition) {
  if (!condition) std::abort();
}

std::string StreamOf(const std::vector<std::string>& payloads) {
  std::string stream;
  for (const std::string& payload : payloads) {
    Check(payload.size() <= pixmeta::kMaxSegmentPayload);
    Check(payload.starts_with(pixmeta::kPhotoshopSignature));
    stream += payload.substr(pixmeta::kPhotoshopSignature.size());
  }
  return stream;
}

struct Resources {
  std::vector<std::string_view> others;  // all but the first IPTC resource and the digests
  std::string_view iptc;
  std::vector<std::string_view> digests;
  std::string_view rest;
};

Resources Split(std::string_view stream) {
  const pixmeta::ResourceStream parsed = pixmeta::ParseResources(stream);
  Resources out;
  bool iptcSeen = false;
  for (const pixmeta::PhotoshopResource& r : parsed.resources) {
    if (r.type == pixmeta::kResourceType && r.id == pixmeta::kIptcResourceId && !iptcSeen) {
      iptcSeen = true;
      out.iptc = r.data;
    } else if (r.type == pixmeta::kResourceType && r.id == pixmeta::kIptcDigestId) {
      out.digests.push_back(r.data);
    } else {
      out.others.push_back(r.bytes);
    }
  }
  out.rest = parsed.rest;
  return out;
}

// Whole data sets, then the bytes that form none.
std::vector<std::string_view> DataSets(std::string_view data, std::string_view& rest) {
  std::vector<std::string_view> sets;
  size_t pos = 0;
  while (data.size() - pos >= 5 && data[pos] == '\x1C') {
    const size_t length = static_cast<unsigned char>(data[pos + 3]) * 256u +
                          static_cast<unsigned char>(data[pos + 4]);
    if (data.size() - pos - 5 < length) break;
    sets.push_back(data.substr(pos, 5 + length));
    pos += 5 + length;
  }
  rest = data.substr(pos);
  return sets;
}

bool Of(std::string_view set, uint8_t record, uint8_t number) {
  return static_cast<uint8_t>(set[1]) == record && static_cast<uint8_t>(set[2]) == number;
}

// What the editor may add of its own: the record version and the UTF-8 declaration.
bool MayBeAdded(std::string_view set) { return Of(set, 2, 0) || Of(set, 1, 90); }

std::string Md5(std::string_view data) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  Check(EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr) == 1);
  return std::string(reinterpret_cast<const char*>(digest), length);
}

void CheckEdit(const std::vector<std::string>& segments, const std::vector<IptcKeyEdit>& edits) {
  const std::vector<std::string_view> views(segments.begin(), segments.end());
  const pixmeta::App13Edit edit = pixmeta::EditApp13(views, edits);
  if (!edit.error.empty()) {
    Check(edit.payloads.empty());
    return;
  }
  if (edits.empty()) {
    Check(edit.payloads == segments);
    return;
  }
  std::string old;
  for (const std::string& segment : segments) {
    Check(segment.starts_with(pixmeta::kPhotoshopSignature));
    old += segment.substr(pixmeta::kPhotoshopSignature.size());
  }
  const std::string now = StreamOf(edit.payloads);
  const Resources was = Split(old);
  const Resources is = Split(now);
  Check(is.others == was.others);
  Check(is.rest == was.rest);
  Check(is.digests.size() == was.digests.size());
  if (now == old) return;
  for (const std::string_view digest : is.digests) Check(digest == Md5(is.iptc));

  const auto edited = [&edits](std::string_view set) {
    return MayBeAdded(set) || std::ranges::any_of(edits, [set](const IptcKeyEdit& e) {
             return Of(set, e.record, e.number);
           });
  };
  std::string_view wasRest;
  std::string_view isRest;
  std::vector<std::string_view> kept = DataSets(was.iptc, wasRest);
  std::vector<std::string_view> after = DataSets(is.iptc, isRest);
  Check(isRest == wasRest);
  std::vector<std::string_view> added;
  for (const std::string_view set : after) {
    if (edited(set)) added.push_back(set);
  }
  std::erase_if(kept, edited);
  std::erase_if(after, edited);
  Check(after == kept);
  // Each edited key holds as many data sets as its last edit gave, plain ASCII as given.
  for (size_t i = 0; i < edits.size(); ++i) {
    const IptcKeyEdit& e = edits[i];
    const bool later = std::any_of(edits.begin() + static_cast<long>(i) + 1, edits.end(),
                                   [&e](const IptcKeyEdit& l) {
                                     return l.record == e.record && l.number == e.number;
                                   });
    if (later || MayBeAdded(std::string{'\x1C', static_cast<char>(e.record),
                                        static_cast<char>(e.number)})) {
      continue;
    }
    std::vector<std::string_view> sets;
    for (const std::string_view set : added) {
      if (Of(set, e.record, e.number)) sets.push_back(set);
    }
    Check(sets.size() == e.values.size());
    for (size_t v = 0; v < sets.size(); ++v) {
      const std::string& value = e.values[v];
      if (std::ranges::all_of(value, [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        Check(sets[v].substr(5) == value);
      }
    }
  }
}

// Reads, lists and edits the data sets of segment bytes, and writes the edits back.
void Exercise(TIPTCdata& iptc, pixmeta::IptcHost& host, std::string_view edit, size_t size) {
  pixmeta::StringList lines;
  iptc.LoadFromSegment(host.IptcSegment());
  if (static_cast<size_t>(iptc.Count()) > size / 5 + 1) std::abort();
  iptc.FilePairList(lines);
  iptc.FileJoinedValue("Keywords");
  iptc.HeldValue("keywords");
  iptc.XmlLines(lines);
  iptc.StoreValue("Keywords", edit);
  iptc.StoreValue("ObjectName", edit);
  iptc.RemoveKey("City");
  const std::string_view segment = host.IptcSegment();
  std::vector<std::string> payloads;
  if (segment.size() > 2) payloads.emplace_back(segment.substr(2));
  CheckEdit(payloads, iptc.KeyEdits());
}

// Up to four edits of keys of records 1, 2, 7 and 8; a value is a piece repeated, so that
// a few bytes make values too long for a data set.
std::vector<IptcKeyEdit> RandomEdits(FuzzedDataProvider& provider) {
  std::vector<IptcKeyEdit> edits(provider.ConsumeIntegralInRange<size_t>(0, 4));
  for (IptcKeyEdit& edit : edits) {
    edit.record = provider.PickValueInArray<uint8_t>({1, 2, 2, 2, 7, 8});
    edit.number = provider.ConsumeIntegral<uint8_t>();
    edit.values.resize(provider.ConsumeIntegralInRange<size_t>(0, 3));
    for (std::string& value : edit.values) {
      const std::string piece = provider.ConsumeRandomLengthString(16);
      const size_t times = provider.ConsumeBool() ? 1 : provider.ConsumeIntegralInRange(1, 5000);
      for (size_t i = 0; i < times; ++i) value += piece;
    }
  }
  return edits;
}

// Some of the bytes as APP13 payloads, most beginning with the signature.
std::vector<std::string> RandomSegments(FuzzedDataProvider& provider, const std::string& bytes) {
  std::vector<std::string> segments;
  const size_t count = provider.ConsumeIntegralInRange<size_t>(0, 3);
  size_t from = 0;
  for (size_t i = 0; i < count; ++i) {
    const size_t cut = i + 1 == count
                           ? bytes.size()
                           : provider.ConsumeIntegralInRange<size_t>(from, bytes.size());
    const size_t take = std::min(cut - from, pixmeta::kMaxSegmentPayload - 14);
    const bool signed_ = provider.ConsumeIntegralInRange<int>(0, 15) != 0;
    segments.push_back((signed_ ? std::string(pixmeta::kPhotoshopSignature) : std::string()) +
                       bytes.substr(from, take));
    from = cut;
  }
  return segments;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The edit value, the split into segments, the key edits, then the segment bytes.
  FuzzedDataProvider provider(data, size);
  const std::string edit = provider.ConsumeRandomLengthString(64);
  const std::string layout = provider.ConsumeBytesAsString(8);
  const std::string editList = provider.ConsumeRandomLengthString(256);
  const std::string segment = provider.ConsumeRemainingBytesAsString();

  FuzzedDataProvider editSource(reinterpret_cast<const uint8_t*>(editList.data()),
                                editList.size());
  FuzzedDataProvider shape(reinterpret_cast<const uint8_t*>(layout.data()), layout.size());
  CheckEdit(RandomSegments(shape, segment), RandomEdits(editSource));

  SegmentHost host(segment);
  TIPTCdata direct(host);
  Exercise(direct, host, edit, size);

  // The same bytes as the payload of a JPEG's APP13 segment.
  static const pixmeta::fuzz::ScratchFolder folder;
  const std::string payload = segment.substr(0, pixmeta::kMaxSegmentPayload);
  const size_t n = payload.size() + 2;
  std::string file = "\xFF\xD8\xFF\xED";
  file += static_cast<char>(n >> 8);
  file += static_cast<char>(n & 0xFF);
  file += payload;
  file += std::string_view("\xFF\xDA\x00\x02\xFF\xD9", 6);
  pixmeta::TimgData container(pixmeta::kListBoth);
  container.LoadFile(folder.Write("input.jpg", file));
  if (TIPTCdata* iptc = container.Iptc()) Exercise(*iptc, container, edit, size);
  return 0;
}
