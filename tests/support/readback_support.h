#pragma once
// Written images for the read-back tests: one click of the driver on a
// synthetic image in memory, with everything the click left behind.

#include <cstdint>
#include <vector>

#include "labyrinth/model.h"
#include "test_support.h"
#include "writer/driver.h"
#include "writer/encoder.h"
#include "writer/image_file.h"

namespace labyrinth::testing {

struct WrittenImage {
    std::vector<std::uint8_t> original;  ///< the synthetic image before the click
    std::vector<std::uint8_t> image;     ///< the image after it
    std::vector<std::uint8_t> text;      ///< the text file it copied from
    Labyrinth model;                     ///< the accepted labyrinth
    WriterState writer;                  ///< the writer's state after the accepted pass
    ClickResult click;
};

/// One click with master seed `seed` on a synthetic image and text file.
inline WrittenImage writtenImage(std::uint64_t seed) {
    WrittenImage written;
    written.original = syntheticImage();
    written.text = syntheticText();
    MemoryFile rom("image.nes", written.original);
    MemoryFile text("tgltext.tgl", written.text);
    FixedSeedSource seeds(seed);
    Session session(rom, text, seeds);
    SilentDriverHost host;
    written.click = savebutClick(session, host);
    written.image = rom.bytes();
    written.model = session.model();
    written.writer = session.writer();
    return written;
}

}  // namespace labyrinth::testing
