#pragma once
// The one shape of an operation that can fail: its value or a Failure. Shaped like C++23's
// std::expected (has_value, value, error, Unexpected) so that it can replace this one later.
// As there, value() of a failure throws and error() of a value throws: check first.

#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace zorva {

enum class FailureCode {
    ReadFailed,   // a file or folder could not be read or listed
    WriteFailed,  // a file could not be replaced
    BadArgument,  // a command line or an input asks for nothing sensible
    NotFound,     // a named thing is not there
};

struct Failure {
    FailureCode code;
    std::string text;  // UTF-8, the message the user reads

    friend bool operator==(const Failure&, const Failure&) = default;
};

// Wraps a Failure so that it converts to any Expected<T>.
struct Unexpected {
    Failure failure;
};

inline Unexpected MakeFailure(FailureCode code, std::string_view text) {
    return Unexpected{Failure{code, std::string(text)}};
}

template <typename T>
class Expected {
public:
    Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Expected(Unexpected failure) : state_(std::in_place_index<1>, std::move(failure.failure)) {}

    bool has_value() const { return state_.index() == 0; }
    explicit operator bool() const { return has_value(); }

    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }
    T&& operator*() && { return std::move(*this).value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    const Failure& error() const { return std::get<1>(state_); }

private:
    std::variant<T, Failure> state_;
};

// Success carries nothing: a default-constructed Expected<void> is the success.
template <>
class Expected<void> {
public:
    Expected() = default;
    Expected(Unexpected failure) : failure_(std::move(failure.failure)), failed_(true) {}

    bool has_value() const { return !failed_; }
    explicit operator bool() const { return has_value(); }
    void value() const {}

    const Failure& error() const { return failure_; }

private:
    Failure failure_{};
    bool failed_ = false;
};

}  // namespace zorva
