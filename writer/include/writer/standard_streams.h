#pragma once
// Descriptors 0, 1 and 2 are open before any file is. A program started with
// one of them closed (by cron, a service manager, a launcher) would otherwise
// get the player's image as that descriptor, and the next line it prints, or
// the window system's connection, would land in the image.

namespace labyrinth {

/// Which standard streams were closed when the program started.
struct StandardStreams {
    bool inputClosed = false;
    bool outputClosed = false;
    bool errorClosed = false;
    /// False when a closed one could not be filled (no /dev/null to open):
    /// the program must then end before it opens any file.
    bool ready = true;
};

/// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, and
/// says which were. Call it first in `main`, before anything opens a file.
StandardStreams openStandardStreams();

}  // namespace labyrinth
