#include "writer/driver.h"

#include <algorithm>
#include <array>
#include <memory>

#include "writer/decoder.h"
#include "writer/readback.h"
#include "writer/record_format.h"

namespace labyrinth {
// The name the player gave must still lead to the file written: a file
// renamed over it, or its removal, meanwhile leaves the labyrinth in a file
// the player no longer has under that name.
Status checkStillNamed(RandomAccessFile& image) {
    if (auto there = image.checkStillThere("while it was written"); !there)
        return Error{there.error().message + "; the labyrinth went into the file that was there before"};
    return {};
}

Status checkStillHolds(RandomAccessFile& image, std::int64_t size, std::span<const std::uint8_t> region) {
    if (auto there = image.checkStillThere("after it was written"); !there) return there;
    auto now = image.size();
    if (!now) return now.error();
    if (now.value() != size)
        return Error{image.name() + ": another program changed its size after the labyrinth was written (" +
                     std::to_string(now.value()) + " bytes, not " + std::to_string(size) +
                     "); it no longer holds that labyrinth whole"};
    std::vector<std::uint8_t> held(region.size());
    if (auto read = image.readAt(0, held); !read) return read;
    if (!std::equal(held.begin(), held.end(), region.begin()))
        return Error{image.name() + ": another program wrote into it after the labyrinth was written; it no "
                                    "longer holds that labyrinth whole"};
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

// The image's exclusive lock for the length of a click, unless the front end
// holds it already: then it is the front end's to keep and to drop.
class ClickLock {
public:
    explicit ClickLock(RandomAccessFile& file) : file_(file) {
        if (file.heldLock() == FileLock::Exclusive) {
            status_ = true;
            return;
        }
        status_ = file.lock(FileLock::Exclusive);
        mine_ = status_ && status_.value();
    }
    ~ClickLock() {
        if (mine_) static_cast<void>(file_.lock(FileLock::None));
    }
    ClickLock(const ClickLock&) = delete;
    ClickLock& operator=(const ClickLock&) = delete;

    /// Ok when the click may write; otherwise why not.
    Status status() const {
        if (!status_) return status_.error();
        if (!status_.value())
            return Error{file_.name() + ": another program is using it right now; try again when it has finished"};
        return {};
    }

private:
    RandomAccessFile& file_;
    Result<bool> status_ = false;
    bool mine_ = false;
};

// What the image holds after a write that did not land as written: another
// program wrote into it meanwhile.
std::string describeHeld(RandomAccessFile& rom, bool recordsLanded, const std::string& textName) {
    auto region = readPrefix(rom, format::readRegionEnd);
    if (!region) return "nothing that can be read back (" + region.error().message + ")";
    auto held = decodeLabyrinth(rom.name(), std::move(region.value()));
    if (!held) return "no readable labyrinth";
    const std::string& code = held.value().seedCode;
    if (recordsLanded)
        return "this labyrinth (seed code " + code + "), but a text block other than the first " +
               std::to_string(format::textSize) + " bytes of " + textName;
    return "another labyrinth, of seed code " + code;
}

// Reads back the records and the text block just written: ok when the file
// holds exactly them.
Status readBack(RandomAccessFile& rom, const std::vector<std::uint8_t>& stream,
                std::span<const std::uint8_t> textBlock, const std::string& textName,
                std::vector<std::uint8_t>& buffer) {
    buffer.resize(static_cast<std::size_t>(format::textEnd - format::roomDataPos));
    if (auto read = rom.readAt(format::roomDataPos, buffer); !read) return read;
    const auto textAt = buffer.begin() + static_cast<std::ptrdiff_t>(format::textBase - format::roomDataPos);
    const bool records = std::equal(stream.begin(), stream.end(), buffer.begin());
    const bool text = std::equal(textBlock.begin(), textBlock.end(), textAt);
    if (records && text) return {};
    return Error{rom.name() + ": changed while it was being written (a program that takes no lock wrote into it); "
                              "it now holds " + describeHeld(rom, records, textName)};
}

// Everything that can be checked before the first write: the lock, both
// files, that the image may still be written; the text block is read. Gives
// the image's size as checked.
Result<std::int64_t> prepareWrite(const ClickLock& lock, RandomAccessFile& rom, RandomAccessFile& text,
                                  std::span<std::uint8_t, format::textSize> textBlock) {
    Status ready = lock.status();
    if (ready) ready = checkImage(rom);
    if (ready) ready = rom.checkWritable();
    if (ready) ready = checkTextFile(text);
    if (ready) ready = text.readAt(0, textBlock);
    if (!ready) return ready.error();
    return rom.size();
}

// What the image holds after a write of the records failed. When another
// program changed its size meanwhile, "its other bytes" are no longer what
// they were: what it cut off is gone.
std::string heldAfterFailedWrite(RandomAccessFile& rom, std::int64_t sizeBefore) {
    auto now = rom.size();
    if (!now || now.value() == sizeBefore)
        return rom.name() + " may now hold a partly written labyrinth; its other bytes are unchanged. Write again to "
                            "get a complete one.";
    const bool cut = now.value() < sizeBefore;
    return "It now holds " + std::to_string(now.value()) + " bytes, not " + std::to_string(sizeBefore) +
           ": the labyrinth may be partly written" +
           (cut ? ", and what the other program cut off is lost" : ", and the other program added bytes") +
           ". Restore the image from your copy.";
}

// `imageSize` is the size the image had when the click checked it.
Status writeStream(ClickResult& result, RandomAccessFile& rom, std::int64_t imageSize) {
    result.imageChanged = true;
    result.longestStream = std::max(result.longestStream, static_cast<std::int64_t>(result.stream.size()));
    if (auto written = rom.writeAt(format::roomDataPos, result.stream); !written)
        return Error{written.error().message + ". " + heldAfterFailedWrite(rom, imageSize)};
    return {};
}

// After the accepted stream: the text block, the sync and the read-back,
// then "Done.".
const ClickResult& finishWrite(ClickResult& result, DriverHost& host, RandomAccessFile& rom,
                               std::span<const std::uint8_t> textBlock, const std::string& textName,
                               std::vector<std::uint8_t>& readBackBuffer) {
    if (auto written = rom.writeAt(format::textBase, textBlock); !written)
        return failed(result, host, written.error(),
                      "The labyrinth was written to " + rom.name() +
                          ", but its text block may be incomplete. Write again to repair it.");
    if (auto saved = rom.flush(); !saved)
        return failed(result, host, saved.error(),
                      "The labyrinth may not have reached the disk completely. Write again.");
    if (auto landed = readBack(rom, result.stream, textBlock, textName, readBackBuffer); !landed)
        return failed(result, host, landed.error(), "Write again to get a complete labyrinth.");
    if (auto there = checkStillNamed(rom); !there)
        return failed(result, host, there.error(), "Write again to put a labyrinth into the file that has that name now.");
    host.setBusy(false);
    host.setStatus(statusDone);
    return result;
}

const ClickResult& refusedWrite(ClickResult& result, DriverHost& host, RandomAccessFile& rom, const Error& why) {
    result.refused = true;
    return failed(result, host, why, "Nothing was written to " + rom.name() + ".");
}

}  // namespace

const ClickResult& savebutClick(Session& session, DriverHost& host) {
    ClickResult& result = startOutcome(session.lastClick_);
    RandomAccessFile& rom = session.rom_;
    host.setBusy(true);
    const ClickLock lock(rom);
    std::array<std::uint8_t, format::textSize> textBlock{};
    const auto ready = prepareWrite(lock, rom, session.text_, textBlock);
    if (!ready) return refusedWrite(result, host, rom, ready.error());

    result.seed = session.masterSeeds_.nextSeed();
    DerivedSeedSource attemptSeeds(result.seed);
    for (;;) {
        host.setStatus(statusCreating);
        result.generations += maPupdate(session.model_, session.rng_, attemptSeeds, host, session.options).attempts;

        session.writer_.startPass(session.model_);
        result.stats = encodeRooms(session.model_, session.writer_, session.rng_, result.stream);
        ++result.attempts;
        if (auto written = writeStream(result, rom, ready.value()); !written) {
            host.setBusy(false);
            host.setStatus(statusFailed);
            result.status = written.error();
            return result;
        }
        if (streamComplete(session.model_, session.writer_)) break;
        host.setStatus(statusFailed);
    }
    return finishWrite(result, host, rom, textBlock, session.text_.name(), session.readBack_);
}

ClickResult writeLayout(RandomAccessFile& rom, RandomAccessFile& text, const DecodedStream& cells,
                        DriverHost& host) {
    ClickResult result;
    host.setBusy(true);
    const ClickLock lock(rom);
    std::array<std::uint8_t, format::textSize> textBlock{};
    const auto ready = prepareWrite(lock, rom, text, textBlock);
    if (!ready) return refusedWrite(result, host, rom, ready.error());
    auto stream = encodeCells(cells);
    if (!stream) return refusedWrite(result, host, rom, stream.error());
    host.setStatus(statusCreating);
    result.stream = std::move(stream.value());
    result.stats = summarize(cells);
    result.attempts = 1;
    if (auto written = writeStream(result, rom, ready.value()); !written) {
        host.setBusy(false);
        host.setStatus(statusFailed);
        result.status = written.error();
        return result;
    }
    std::vector<std::uint8_t> readBackBuffer;
    finishWrite(result, host, rom, textBlock, text.name(), readBackBuffer);
    return result;
}

std::vector<std::uint8_t> writtenBySeed(std::uint64_t seed) {
    // The click does not read the image, and its stream does not depend on
    // the text block, so a blank image and text give the very bytes.
    MemoryFile rom("(labyrinth of a seed)", format::blankImage());
    MemoryFile text("(text block)", std::vector<std::uint8_t>(static_cast<std::size_t>(format::textSize), 0));
    FixedSeedSource seeds(seed);
    auto session = std::make_unique<Session>(rom, text, seeds);
    SilentDriverHost host;
    const ClickResult& click = savebutClick(*session, host);
    const auto first = rom.bytes().begin() + static_cast<std::ptrdiff_t>(format::roomDataPos);
    return {first, first + static_cast<std::ptrdiff_t>(click.status ? click.longestStream : 0)};
}

Result<ReadBack> labyrinthOfSeed(std::uint64_t seed) {
    MemoryFile rom("(labyrinth of a seed)", format::blankImage());
    MemoryFile text("(text block)", std::vector<std::uint8_t>(static_cast<std::size_t>(format::textSize), 0));
    FixedSeedSource seeds(seed);
    auto session = std::make_unique<Session>(rom, text, seeds);
    SilentDriverHost host;
    if (const ClickResult& click = savebutClick(*session, host); !click.status) return click.status.error();
    auto region = readPrefix(rom, format::readRegionEnd);
    if (!region) return region.error();
    return decodeLabyrinth(rom.name(), std::move(region.value()));
}

}  // namespace labyrinth
