// Whole clicks and nothing else, for profilers: master seeds 0..N-1 (1,000
// unless given) in one session, on an image in memory. Instructions and
// simulated branch misses per stage, from callgrind's inclusive costs:
//   valgrind --tool=callgrind --branch-sim=yes --callgrind-out-file=clicks.cg
//       build/bench/bench/labyrinth-click-profile 1000
//   callgrind_annotate --inclusive=yes clicks.cg
// The compiler folds stages that run once into their caller; build with
// -fno-inline-functions-called-once to see each of them on its own line.

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "writer/driver.h"
#include "writer/record_format.h"

namespace {

// Master seeds 0, 1, 2, ...
class SuccessiveSeeds final : public labyrinth::SeedSource {
public:
    std::uint64_t nextSeed() override { return next_++; }

private:
    std::uint64_t next_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    using namespace labyrinth;
    const long count = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1000;
    if (count < 1) {
        std::fprintf(stderr, "usage: %s [CLICKS]\n", argv[0]);
        return 2;
    }
    MemoryFile rom("profile.nes", format::blankImage());
    MemoryFile text("tgltext.tgl", std::vector<std::uint8_t>(static_cast<std::size_t>(format::textSize), 0));
    SilentDriverHost host;
    SuccessiveSeeds seeds;
    Session session(rom, text, seeds);
    long passes = 0;
    long generations = 0;
    for (long i = 0; i < count; ++i) {
        const ClickResult& click = savebutClick(session, host);
        if (!click.status) {
            std::fprintf(stderr, "%s\n", click.status.error().message.c_str());
            return 1;
        }
        passes += click.attempts;
        generations += click.generations;
    }
    std::printf("%ld clicks: %ld encoding passes, %ld generation attempts\n", count, passes, generations);
    return 0;
}
