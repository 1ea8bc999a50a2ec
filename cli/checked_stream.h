#pragma once
// Standard output and standard error through buffers that remember why
// their first write failed (a full disk, a closed pipe, a stream that was
// closed when the program started), so that the failure is reported with
// its reason however much later the program notices it, and never taken
// for success.

#include <array>
#include <streambuf>
#include <string>

namespace labyrinth::cli {

class CheckedStream final : public std::streambuf {
public:
    /// Writes to descriptor `fd` (1 or 2). A stream that was closed when the
    /// program started (and now leads to /dev/null) fails its first write.
    CheckedStream(int fd, bool closedAtStart);
    ~CheckedStream() override;
    CheckedStream(const CheckedStream&) = delete;
    CheckedStream& operator=(const CheckedStream&) = delete;

    /// True once a write failed; what was to be written then is dropped.
    bool failed() const { return failure_ != 0; }
    /// "standard output: cannot write: Broken pipe", naming the stream.
    std::string message() const;
    /// Whether that message was given already, so that it is given once.
    bool reported() const { return reported_; }
    void setReported() { reported_ = true; }

protected:
    int sync() override;
    int_type overflow(int_type c) override;

private:
    bool drain();
    int fd_;
    bool closedAtStart_;
    std::array<char, 1 << 16> buffer_{};
    int failure_ = 0;
    bool reported_ = false;
};

/// The checked buffer behind std::cout, when main installed one.
CheckedStream* checkedOutput();

}  // namespace labyrinth::cli
