#pragma once
// Failure by value: the core never throws into the front ends.

#include <cassert>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace labyrinth {

/// A failure, with a message for the user that names the file and the reason.
struct Error {
    std::string message;
};

/// A value or an Error.
template <typename T>
class Result {
public:
    Result(T value) : state_(std::move(value)) {}  // NOLINT(google-explicit-constructor)
    Result(Error error) : state_(std::move(error)) {}  // NOLINT(google-explicit-constructor)

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }
    T& value() { assert(ok()); return std::get<T>(state_); }
    const T& value() const { assert(ok()); return std::get<T>(state_); }
    const Error& error() const { assert(!ok()); return std::get<Error>(state_); }

private:
    std::variant<T, Error> state_;
};

/// The result of an operation that yields nothing but may fail.
using Status = std::optional<Error>;

}  // namespace labyrinth
