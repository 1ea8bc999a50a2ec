#include "requests/track.h"

#include "writer/record_format.h"

namespace labyrinth::requests {

Result<WriteResult> labyrinthToTrack(const MemoryWrite& request) {
    // A blank image and a text block of zeros stand in for the player's
    // files: the labyrinth's records depend on neither.
    const MemoryWrite blank{{"(labyrinth to track)", format::blankImage()},
                            {format::textFileName, std::vector<std::uint8_t>(format::textSize, 0)},
                            request.seed,
                            request.layout,
                            request.daily};
    // Without a seed there is nothing to track: a random one would be a
    // labyrinth that no write of the player's holds.
    if (blank.seed.empty() && blank.daily.empty() && !blank.layout.given())
        return Error{"no seed was given: type the seed of the labyrinth to track"};
    return writeCopy(blank);
}

}  // namespace labyrinth::requests
