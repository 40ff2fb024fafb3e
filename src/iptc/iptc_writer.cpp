#include "iptc/iptc_writer.h"

#include "iptc/iptc_table.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

constexpr std::string_view kSignature{"Photoshop 3.0\0", 14};
constexpr std::string_view kIptcResource{"8BIM\x04\x04\0\0", 8};
constexpr std::string_view kEmptyResource{"8BIM\x04\x0B\0\0\0\0\0\0", 12};
constexpr std::string_view kRecordVersion{"\0\x02", 2};
constexpr size_t kVersionSetSize = 5 + kRecordVersion.size();

void AppendBigEndian(std::string& out, uint32_t value, int width) {
  for (int i = width - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool AppendDataSet(std::string& out, uint8_t record, uint8_t number, std::string_view value) {
  if (value.size() > kMaxDataSetValue) return false;
  out += '\x1C';
  out += static_cast<char>(record);
  out += static_cast<char>(number);
  AppendBigEndian(out, static_cast<uint32_t>(value.size()), 2);
  out += value;
  return true;
}

bool AppendRepeated(std::string& out, uint8_t record, uint8_t number, std::string_view list) {
  std::string_view rest = list;
  while (!Trim(rest).empty()) {
    const size_t comma = rest.find(',');
    std::string_view item = rest;
    if (comma == std::string_view::npos) {
      rest = {};
    } else {
      item = Trim(rest.substr(0, comma));
      rest = Trim(rest.substr(comma + 1));
    }
    if (!AppendDataSet(out, record, number, item)) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> EncodeDataSet(uint8_t record, uint8_t number, std::string_view value) {
  std::string out;
  if (!AppendDataSet(out, record, number, value)) return std::nullopt;
  return out;
}

std::optional<std::string> EncodeRepeated(uint8_t record, uint8_t number, std::string_view list) {
  std::string out;
  if (!AppendRepeated(out, record, number, list)) return std::nullopt;
  return out;
}

IptcPayload BuildPayload(const TIPTCdata& iptc) {
  std::string body;
  for (int32_t i = 0; i < iptc.Count(); ++i) {
    const TTagEntry& entry = iptc.EntryAt(i);
    const auto record = static_cast<uint8_t>(entry.record());
    const auto number = static_cast<uint8_t>(entry.tag());
    const bool encoded = record == 2 && IsRepeatable(entry.tag())
                             ? AppendRepeated(body, record, number, entry.text)
                             : AppendDataSet(body, record, number, entry.text);
    if (!encoded) {
      return {.error = "IPTC " + std::string(entry.name()) + " value is longer than " +
                       std::to_string(kMaxDataSetValue) + " bytes"};
    }
  }
  // An odd body makes the resource, version data set included, of even size.
  if (body.size() % 2 == 0) body += '\0';
  const size_t resourceSize = kVersionSetSize + body.size();
  const size_t payloadSize =
      kSignature.size() + kIptcResource.size() + 4 + resourceSize + kEmptyResource.size();
  if (payloadSize > kMaxSegmentPayload) {
    return {.error = "IPTC data of " + std::to_string(payloadSize) +
                     " bytes does not fit a segment (at most " +
                     std::to_string(kMaxSegmentPayload) + ")"};
  }
  std::string payload;
  payload.reserve(payloadSize);
  payload += kSignature;
  payload += kIptcResource;
  AppendBigEndian(payload, static_cast<uint32_t>(resourceSize), 4);
  AppendDataSet(payload, 2, 0, kRecordVersion);
  payload += body;
  payload += kEmptyResource;
  return {.bytes = std::move(payload)};
}

int32_t StoreByKind(TIPTCdata& iptc, std::string_view name, std::string_view value) {
  const int32_t row = TIPTCdata::TableRowOf(name);
  if (row >= 0 && IsRepeatable(IptcKeyTable()[static_cast<size_t>(row)].tag)) {
    return iptc.MergeValues(name, value);
  }
  return iptc.StoreValue(name, value);
}

bool SaveToJpeg(const TIPTCdata& iptc, IptcHost& host,
                const std::function<bool(std::string& errorText)>& save, std::string& errorText) {
  const IptcPayload payload = BuildPayload(iptc);
  if (!payload.bytes) {
    errorText = payload.error;
    return false;
  }
  if (!host.SetIptcBytes(*payload.bytes)) {
    errorText = "the IPTC block does not fit a segment";
    return false;
  }
  return save(errorText);
}

}  // namespace pixmeta
