#pragma once
// Ending on SIGINT, SIGTERM or SIGHUP without leaving damage behind. A
// program that installs the handlers gets, on such a signal: the farewell
// text on standard error (the seed of a labyrinth it already wrote), every
// temporary file of the file layer removed, and the end that the signal
// asks for, with its usual status. A write that must not be cut in two runs
// inside `Deferred`, and a signal that comes meanwhile takes effect after it.
//
// The state lives in the process, as signals do: fixed buffers that the
// handler reads without allocating, changed only while the signals wait.

#include <csignal>
#include <string_view>

namespace labyrinth::interruption {

/// Installs the handlers of SIGINT, SIGTERM and SIGHUP for the whole process;
/// the farewell goes to `farewellFd` (standard error, unless that was closed).
void install(int farewellFd = 2);

/// Holds SIGINT, SIGTERM and SIGHUP back while it lives; one that came
/// meanwhile is handled when the outermost one goes.
class Deferred {
public:
    Deferred();
    ~Deferred();
    Deferred(const Deferred&) = delete;
    Deferred& operator=(const Deferred&) = delete;

private:
    sigset_t previous_{};
};

/// Holds SIGINT, SIGTERM and SIGHUP back for the rest of the program: once
/// a command has said "Done.", a signal that comes later must not turn the
/// finished job into one ended by a signal. The signals are dropped at exit.
void holdUntilExit();

/// What a signal that ends the program says first on standard error, such
/// as the seed line of a labyrinth already written (cut to 1 KiB). Empty:
/// nothing.
void setFarewell(std::string_view text);

/// Files that a signal removes: the file layer's temporary files, from
/// their creation until they are renamed into place or removed. A name that
/// does not fit the buffers (or one past the 16th at once) is not kept, and
/// false says so.
bool addTemporary(std::string_view path);
void removeTemporary(std::string_view path);

}  // namespace labyrinth::interruption
