// Loads thousands of damaged copies of real-looking photos: flipped bytes, values replaced
// by extremes, cuts. Under the sanitizer build this catches any read outside a buffer; in
// every build it checks that loading stays bounded.
#include <gtest/gtest.h>

#include <random>

#include "exif/jpeg_container.h"
#include "fixtures/sample_photos.h"
#include "fixtures/temp_dir.h"
#include "fixtures/tiff_builder.h"
#include "imgsize/img_size.h"

namespace pixmeta::test {
namespace {

std::string Mutate(std::string bytes, std::mt19937& rng) {
  if (bytes.empty()) return bytes;
  // Damage falls where the metadata is: the first few kilobytes.
  const size_t span = std::min<size_t>(bytes.size(), 6000);
  std::uniform_int_distribution<size_t> at(0, span - 1);
  std::uniform_int_distribution<int> kind(0, 3);
  std::uniform_int_distribution<int> count(1, 8);
  for (int n = count(rng); n > 0; --n) {
    const size_t i = at(rng);
    switch (kind(rng)) {
      case 0:
        bytes[i] = static_cast<char>(rng());
        break;
      case 1:  // a count, length or offset at its extreme
        for (size_t k = i; k < std::min(i + 4, bytes.size()); ++k) bytes[k] = '\xFF';
        break;
      case 2:
        for (size_t k = i; k < std::min(i + 2, bytes.size()); ++k) bytes[k] = '\0';
        break;
      default:
        bytes.resize(std::max<size_t>(i, 2));
        break;
    }
  }
  return bytes;
}

void LoadEverything(const std::string& path) {
  TImgSize size(path);
  TimgData container(kListBoth);
  StringList lines;
  container.LoadFile(path);
  ASSERT_LE(container.SlotCount(), TimgData::kSlotCount);
  if (container.HasIptc()) {
    container.Iptc()->LoadFromSegment(container.IptcSegment());
    container.Iptc()->FilePairList(lines);
  }
  if (TImageInfo* exif = container.Exif()) {
    exif->NameValueList(lines);
    ASSERT_LT(exif->tags.size(), 100000u);
  }
  container.GetComment();
  container.MetadataXml(lines);
}

TEST(Mutation, DamagedFilesLoadWithoutHarm) {
  TempDir dir;
  TiffBuilder tiff(true);
  const int exif = tiff.AddIfd();
  tiff.Ascii(0, 0x010F, "NIKON CORPORATION").Short(0, 0x0100, {4288}).Link(0, 0x8769, exif);
  tiff.Rational(exif, 0x829A, {{1, 250}}).Ascii(exif, 0x9003, "2012:01:01 10:00:00");
  const std::pair<const char*, std::string> originals[] = {
      {"a.jpg", HarbourPhoto()}, {"b.jpg", MeadowPhoto()}, {"c.jpg", ScanPhoto()},
      {"d.nef", tiff.Build()}};
  std::mt19937 rng(20261208);
  for (const auto& [name, bytes] : originals) {
    for (int round = 0; round < 400; ++round) {
      const std::string path = dir.Write(name, Mutate(bytes, rng));
      LoadEverything(path);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace pixmeta::test
