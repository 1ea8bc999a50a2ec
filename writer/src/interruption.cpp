#include "writer/interruption.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>

namespace labyrinth::interruption {
namespace {

constexpr std::size_t maxTemporaries = 16;
constexpr std::size_t farewellSize = 1024;

// Written only while the signals are held back, read only by the handler.
std::array<std::array<char, PATH_MAX>, maxTemporaries> temporaries{};
std::array<char, farewellSize> farewell{};
std::size_t farewellLength = 0;
int farewellTo = STDERR_FILENO;

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, sig);
    return set;
}

void writeAll(int fd, const char* text, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, text, size);
        if (n <= 0) return;
        text += n;
        size -= static_cast<std::size_t>(n);
    }
}

// Only async-signal-safe calls: write, unlink, signal, raise.
extern "C" void stop(int sig) {
    writeAll(farewellTo, farewell.data(), farewellLength);
    for (const auto& path : temporaries)
        if (path[0] != '\0') ::unlink(path.data());
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

bool same(const std::array<char, PATH_MAX>& slot, std::string_view path) {
    return slot[0] != '\0' && std::string_view(slot.data()) == path;
}

}  // namespace

void install(int farewellFd) {
    farewellTo = farewellFd;
    struct sigaction action {};
    action.sa_handler = stop;
    sigemptyset(&action.sa_mask);
    // The handler runs with the other two held back, so it runs once.
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, sig);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &action, nullptr);
}

Deferred::Deferred() {
    const sigset_t set = stopSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

Deferred::~Deferred() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

void holdUntilExit() {
    const sigset_t set = stopSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void setFarewell(std::string_view text) {
    const Deferred held;
    farewellLength = std::min(text.size(), farewell.size());
    std::copy_n(text.begin(), farewellLength, farewell.begin());
}

bool addTemporary(std::string_view path) {
    if (path.empty() || path.size() >= PATH_MAX || path.find('\0') != std::string_view::npos) return false;
    const Deferred held;
    for (auto& slot : temporaries) {
        if (slot[0] != '\0') continue;
        std::copy(path.begin(), path.end(), slot.begin());
        slot[path.size()] = '\0';
        return true;
    }
    return false;
}

void removeTemporary(std::string_view path) {
    const Deferred held;
    for (auto& slot : temporaries)
        if (same(slot, path)) slot[0] = '\0';
}

}  // namespace labyrinth::interruption
