// libFuzzer target: IPTC data sets, read straight from segment bytes and from the APP13
// segment of a JPEG file, then changed and written into a new payload, which must read
// back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "exif/jpeg_container.h"
#include "iptc/iptc_data.h"
#include "iptc/iptc_writer.h"
#include "scratch_folder.h"

namespace {

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

// Reads, lists, edits and rebuilds the data sets of segment bytes.
void Exercise(TIPTCdata& iptc, pixmeta::IptcHost& host, std::string_view edit, size_t size) {
  pixmeta::StringList lines;
  iptc.LoadFromSegment(host.IptcSegment());
  if (static_cast<size_t>(iptc.Count()) > size / 5 + 1) std::abort();
  iptc.FilePairList(lines);
  iptc.FileJoinedValue("Keywords");
  iptc.XmlLines(lines);
  pixmeta::StoreByKind(iptc, "Keywords", edit);
  pixmeta::StoreByKind(iptc, "ObjectName", edit);
  const pixmeta::IptcPayload payload = pixmeta::BuildPayload(iptc);
  if (!payload.bytes) return;
  if (!host.SetIptcBytes(*payload.bytes)) std::abort();  // a built payload fits a segment
  iptc.LoadFromSegment(host.IptcSegment());
  if (!edit.empty() && iptc.IndexOfName("ObjectName") < 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const std::string edit = provider.ConsumeRandomLengthString(64);
  const std::string segment = provider.ConsumeRemainingBytesAsString();

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
