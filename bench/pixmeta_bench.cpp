// Benchmarks of the hot path: loading one photo's metadata, and whole runs over folders.
// Build with -DPIXMETA_BENCH=ON; run build/pixmeta_bench.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "exif/jpeg_container.h"
#include "fixtures/sample_photos.h"
#include "fixtures/temp_dir.h"
#include "imgsize/img_size.h"
#include "main/run_driver.h"
#include "platform/console.h"

namespace pixmeta::test {
namespace {

void BM_LoadPhoto(benchmark::State& state) {
  TempDir dir;
  const std::string path = dir.Write("harbour.jpg", HarbourPhoto());
  for (auto _ : state) {
    TImgSize size(path);
    TimgData container(kListBoth);
    StringList lines;
    container.LoadFile(path);
    container.Iptc()->LoadFromSegment(container.IptcSegment());
    container.Exif()->NameValueList(lines);
    container.MetadataXml(lines);
    benchmark::DoNotOptimize(lines.Text());
  }
}
BENCHMARK(BM_LoadPhoto);

// A whole run (-s into an output file) over a folder of photos.
void BM_ShowFolder(benchmark::State& state) {
  TempDir dir;
  const std::vector<std::string> photos = {HarbourPhoto(), MeadowPhoto(), ScanPhoto()};
  for (int i = 0; i < state.range(0); ++i) {
    dir.Write("photos/img" + std::to_string(i) + ".jpg", photos[static_cast<size_t>(i) % 3]);
  }
  const std::vector<std::string> args = {"-q", "-s", "-o=" + dir.path() + "out.txt",
                                         dir.path() + "photos/*.jpg"};
  const ProgramLocation location{dir.path(), "bench"};
  for (auto _ : state) {
    platform::Console console(platform::Console::Target::Memory);
    benchmark::DoNotOptimize(RunProgram(args, location, console));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ShowFolder)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pixmeta::test

BENCHMARK_MAIN();
