#include "writer/standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace labyrinth {
namespace {

bool isClosed(int fd) { return ::fcntl(fd, F_GETFD) == -1 && errno == EBADF; }

}  // namespace

StandardStreams openStandardStreams() {
    StandardStreams streams;
    streams.inputClosed = isClosed(STDIN_FILENO);
    streams.outputClosed = isClosed(STDOUT_FILENO);
    streams.errorClosed = isClosed(STDERR_FILENO);
    // open() takes the lowest free descriptor, so each open fills the next
    // closed one of the three; the first that lands above them is not needed.
    for (;;) {
        const int fd = ::open("/dev/null", O_RDWR | O_NOCTTY);
        if (fd < 0) {
            streams.ready = !(isClosed(STDIN_FILENO) || isClosed(STDOUT_FILENO) || isClosed(STDERR_FILENO));
            return streams;
        }
        if (fd > STDERR_FILENO) {
            ::close(fd);
            return streams;
        }
    }
}

}  // namespace labyrinth
