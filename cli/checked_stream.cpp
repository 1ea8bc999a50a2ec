#include "checked_stream.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace labyrinth::cli {

CheckedStream::CheckedStream(int fd, bool closedAtStart)
    : fd_(fd), closedAtStart_(closedAtStart) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

CheckedStream::~CheckedStream() { sync(); }

std::string CheckedStream::message() const {
    const std::string stream = fd_ == STDOUT_FILENO ? "standard output" : "standard error";
    const std::string reason = closedAtStart_ ? "it was closed when the program started" : std::strerror(failure_);
    return stream + ": cannot write: " + reason;
}

int CheckedStream::sync() { return drain() ? 0 : -1; }

CheckedStream::int_type CheckedStream::overflow(int_type c) {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) sputc(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
}

bool CheckedStream::drain() {
    const char* next = pbase();
    // A stream closed at the start fails once something is to be written to
    // it, as a closed pipe does; a program that writes nothing there is fine.
    if (closedAtStart_ && next < pptr() && failure_ == 0) failure_ = EBADF;
    while (failure_ == 0 && next < pptr()) {
        const ssize_t n = ::write(fd_, next, static_cast<std::size_t>(pptr() - next));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) failure_ = n < 0 ? errno : EIO;
        else next += n;
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());  // what could not be written is dropped
    return failure_ == 0;
}

CheckedStream* checkedOutput() { return dynamic_cast<CheckedStream*>(std::cout.rdbuf()); }

}  // namespace labyrinth::cli
