// Ten thousand clicks through the driver on one image, as a long session in
// the window would make them; every written image is checked in full.

#include <gtest/gtest.h>

#include "test_support.h"
#include "writer/driver.h"
#include "writer/verify.h"

namespace labyrinth {
namespace {

TEST(Soak, TenThousandClicksEachLeaveACompleteConsistentLabyrinth) {
    const auto original = testing::syntheticImage();
    const auto textBytes = testing::syntheticText();
    MemoryFile rom("game.nes", original);
    MemoryFile text("tgltext.tgl", textBytes);
    DerivedSeedSource seeds(20261207);
    Session session(rom, text, seeds);  // one session: the model lives on between clicks
    testing::RecordingHost host;
    long attempts = 0;
    for (int click = 0; click < 10000; ++click) {
        host.statuses.clear();
        const ClickResult& result = savebutClick(session, host);
        ASSERT_TRUE(result.status.ok()) << "click " << click << ": " << result.status.error().message;
        ASSERT_EQ(host.statuses.back(), statusDone) << "click " << click;
        ASSERT_EQ(host.linkLines.size(), 121U) << "click " << click;
        const auto problems = verifyImage({rom.bytes(), textBytes, original});
        ASSERT_TRUE(problems.empty()) << "click " << click << ": " << problems.front().message;
        attempts += result.attempts;
    }
    EXPECT_GT(attempts, 10000) << "some clicks needed more than one attempt";
}

}  // namespace
}  // namespace labyrinth
