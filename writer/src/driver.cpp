#include "writer/driver.h"

#include <algorithm>
#include <array>

#include "writer/record_format.h"

namespace labyrinth {

Status checkImage(RandomAccessFile& image) {
    if (auto there = image.checkStillThere(); !there) return there;
    auto size = image.size();
    if (!size) return size.error();
    if (size.value() < format::minImageSize)
        return Error{image.name() + ": is not a complete cartridge image: it is " + std::to_string(size.value()) +
                     " bytes long, and the labyrinth needs at least " + std::to_string(format::minImageSize)};
    std::array<std::uint8_t, format::headerFlagsOffset + 1> header{};
    if (auto read = image.readAt(0, header); !read) return read;
    if (!std::equal(format::imageMagic.begin(), format::imageMagic.end(), header.begin()))
        return Error{image.name() + ": is not an NES cartridge image (it does not start with \"NES\" and 0x1A)"};
    if ((header[format::headerFlagsOffset] & format::trainerFlag) != 0)
        return Error{image.name() + ": carries a " + std::to_string(format::trainerSize) +
                     "-byte trainer after its header, and the labyrinth's offsets assume an image without one; "
                     "writing would damage the game"};
    return {};
}

Status checkTextFile(RandomAccessFile& text) {
    if (auto there = text.checkStillThere(); !there) return there;
    auto size = text.size();
    if (!size) return size.error();
    if (size.value() < format::textSize)
        return Error{text.name() + ": holds " + std::to_string(size.value()) + " bytes, but the text block needs " +
                     std::to_string(format::textSize)};
    // An image given as the text file (the same file picked twice, a link)
    // would fill the text block with its own header and code.
    std::array<std::uint8_t, format::imageMagic.size()> start{};
    if (auto read = text.readAt(0, start); !read) return read;
    if (start == format::imageMagic)
        return Error{text.name() + ": is a cartridge image, not the game's text file " + format::textFileName};
    return {};
}

namespace {

// Clears the outcome of the last click for a new one but keeps the buffer
// of its stream, so that the encoder does not allocate it again.
ClickResult& startOutcome(ClickResult& result) {
    std::vector<std::uint8_t> buffer = std::move(result.stream);
    buffer.clear();
    result = ClickResult{};
    result.stream = std::move(buffer);
    return result;
}

// A failed click: the message, and what the image now holds.
const ClickResult& failed(ClickResult& result, DriverHost& host, const Error& error, const std::string& consequence) {
    host.setBusy(false);
    host.setStatus(statusFailed);
    result.status = Error{error.message + ". " + consequence};
    return result;
}

}  // namespace

const ClickResult& savebutClick(Session& session, DriverHost& host) {
    ClickResult& result = startOutcome(session.lastClick_);
    RandomAccessFile& rom = session.rom_;
    host.setBusy(true);

    // Everything that can be checked is checked before the first write.
    std::array<std::uint8_t, format::textSize> textBlock{};
    Status ready = checkImage(rom);
    if (ready) ready = checkTextFile(session.text_);
    if (ready) ready = session.text_.readAt(0, textBlock);
    if (!ready) {
        result.refused = true;
        return failed(result, host, ready.error(), "Nothing was written to " + rom.name() + ".");
    }

    result.seed = session.masterSeeds_.nextSeed();
    DerivedSeedSource attemptSeeds(result.seed);
    for (;;) {
        host.setStatus(statusCreating);
        result.generations += maPupdate(session.model_, session.rng_, attemptSeeds, host, session.options).attempts;

        session.writer_.startPass(session.model_);
        result.stats = encodeRooms(session.model_, session.writer_, session.rng_, result.stream);
        ++result.attempts;
        if (auto written = rom.writeAt(format::roomDataPos, result.stream); !written)
            return failed(result, host, written.error(),
                          rom.name() + " may now hold a partly written labyrinth; its other bytes are unchanged. "
                                       "Write again to get a complete one.");
        if (streamComplete(session.model_, session.writer_)) break;
        host.setStatus(statusFailed);
    }

    if (auto written = rom.writeAt(format::textBase, textBlock); !written)
        return failed(result, host, written.error(),
                      "The labyrinth was written to " + rom.name() +
                          ", but its text block may be incomplete. Write again to repair it.");
    if (auto saved = rom.flush(); !saved)
        return failed(result, host, saved.error(),
                      "The labyrinth may not have reached the disk completely. Write again.");

    host.setBusy(false);
    host.setStatus(statusDone);
    return result;
}

}  // namespace labyrinth
