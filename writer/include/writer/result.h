#pragma once
// Failure by value: the core never throws into the front ends. One
// convention everywhere: a `Result` converts to true on success, and its
// `error()` says what went wrong otherwise.

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
class [[nodiscard]] Result {
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

/// Success or an Error, for operations that yield nothing else. A
/// default-constructed one is a success: `return {};`.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)) {}  // NOLINT(google-explicit-constructor)

    bool ok() const { return !error_.has_value(); }
    explicit operator bool() const { return ok(); }
    const Error& error() const { assert(!ok()); return *error_; }

private:
    std::optional<Error> error_;
};

using Status = Result<void>;

}  // namespace labyrinth
