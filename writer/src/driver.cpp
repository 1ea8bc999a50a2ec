#include "writer/driver.h"

#include <algorithm>
#include <array>

#include "writer/record_format.h"

namespace labyrinth {

Status checkImage(RandomAccessFile& image) {
    if (auto gone = image.checkStillThere()) return gone;
    auto size = image.size();
    if (!size) return size.error();
    if (size.value() < format::minImageSize)
        return Error{image.name() + ": is not a complete cartridge image: it is " + std::to_string(size.value()) +
                     " bytes long, and the labyrinth needs at least " + std::to_string(format::minImageSize)};
    std::array<std::uint8_t, format::imageMagic.size()> magic{};
    if (auto failed = image.readAt(0, magic)) return failed;
    if (magic != format::imageMagic)
        return Error{image.name() + ": is not an NES cartridge image (it does not start with \"NES\" and 0x1A)"};
    return std::nullopt;
}

Status checkTextFile(RandomAccessFile& text) {
    if (auto gone = text.checkStillThere()) return gone;
    auto size = text.size();
    if (!size) return size.error();
    if (size.value() < format::textSize)
        return Error{text.name() + ": holds " + std::to_string(size.value()) + " bytes, but the text block needs " +
                     std::to_string(format::textSize)};
    return std::nullopt;
}

namespace {

// A failed click: the message, and what the image now holds.
ClickResult failed(ClickResult result, DriverHost& host, const Error& error, const std::string& consequence) {
    host.setBusy(false);
    host.setStatus(statusFailed);
    result.error = Error{error.message + ". " + consequence};
    return result;
}

}  // namespace

ClickResult savebutClick(Session& session, DriverHost& host) {
    ClickResult result;
    RandomAccessFile& rom = session.rom_;
    host.setBusy(true);

    // Everything that can be checked is checked before the first write.
    const std::string untouched = "Nothing was written to " + rom.name() + ".";
    std::array<std::uint8_t, format::textSize> textBlock{};
    for (const Status& status : {checkImage(rom), checkTextFile(session.text_)})
        if (status) return failed(std::move(result), host, *status, untouched);
    if (auto error = session.text_.readAt(0, textBlock)) return failed(std::move(result), host, *error, untouched);

    for (;;) {
        host.setStatus(statusCreating);
        const auto generation = maPupdate(session.model_, session.rng_, session.seeds_, host, session.options);
        result.generations += generation.attempts;
        result.seed = generation.lastSeed;

        session.writer_.startPass(session.model_);
        result.stats = encodeRooms(session.model_, session.writer_, session.rng_, result.stream);
        ++result.attempts;
        if (auto error = rom.writeAt(format::roomDataPos, result.stream))
            return failed(std::move(result), host, *error,
                          rom.name() + " may now hold a partly written labyrinth; its other bytes are unchanged. "
                                       "Write again to get a complete one.");
        if (streamComplete(session.model_, session.writer_)) break;
        host.setStatus(statusFailed);
    }

    if (auto error = rom.writeAt(format::textBase, textBlock))
        return failed(std::move(result), host, *error,
                      "The labyrinth was written to " + rom.name() +
                          ", but its text block may be incomplete. Write again to repair it.");
    if (auto error = rom.flush())
        return failed(std::move(result), host, *error,
                      "The labyrinth may not have reached the disk completely. Write again.");

    host.setBusy(false);
    host.setStatus(statusDone);
    return result;
}

}  // namespace labyrinth
