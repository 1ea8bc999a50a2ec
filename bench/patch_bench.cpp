// The cost of a patch on a large image: taking a snapshot reads the whole
// image once in chunks (its CRC32 and the bytes a click may change), so time
// grows with the size and memory does not. peakRssMiB is the process's
// largest resident size so far, which should stay near a chunk's worth
// whatever the image's size.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "writer/image_file.h"
#include "writer/patch.h"
#include "writer/record_format.h"

namespace {

using namespace labyrinth;

// A sparse image of `size` bytes in the temporary folder: the NES magic, then
// holes, which read as zeros without taking up the disk.
std::string sparseImage(std::int64_t size) {
    std::string path = "/tmp/labyrinth-patch-bench-XXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0 || ::write(fd, format::imageMagic.data(), format::imageMagic.size()) != 4 ||
        ::ftruncate(fd, size) != 0)
        std::abort();
    ::close(fd);
    return path;
}

void BM_SnapshotOfALargeImage(benchmark::State& state) {
    const std::int64_t size = state.range(0) << 20;
    const std::string path = sparseImage(size);
    auto image = DiskFile::open(path, DiskFile::Mode::ReadOnly);
    if (!image) {
        state.SkipWithError(image.error().message.c_str());
        return;
    }
    for (auto _ : state) {
        auto snapshot = snapshotImage(*image.value(), clickRegions());
        if (!snapshot) state.SkipWithError(snapshot.error().message.c_str());
        benchmark::DoNotOptimize(snapshot);
    }
    ::unlink(path.c_str());
    state.SetBytesProcessed(state.iterations() * size);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["peakRssMiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_SnapshotOfALargeImage)->Arg(16)->Arg(256)->Arg(2048)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
