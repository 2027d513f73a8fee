#pragma once

#include <QString>
#include <utility>
#include <variant>

namespace platform {

// Why an operation failed, in one line a user or a supporter can read.
struct Failure {
    QString why;
};

// What an operation that can fail gives back: its value, or a Failure.
// Every fallible operation of the platform layer answers in this one way.
template <class T = std::monostate> class Result {
public:
    Result() requires std::is_same_v<T, std::monostate>
    = default;
    Result(T value) : state_(std::move(value)) {}
    Result(Failure failure) : state_(std::move(failure)) {}

    explicit operator bool() const { return state_.index() == 0; }
    const T &operator*() const { return std::get<0>(state_); }
    T &operator*() { return std::get<0>(state_); }
    const T *operator->() const { return &std::get<0>(state_); }
    T *operator->() { return &std::get<0>(state_); }
    // Empty when it succeeded.
    QString why() const { return *this ? QString() : std::get<1>(state_).why; }

private:
    std::variant<T, Failure> state_;
};

// From errno, as strerror says it.
Failure failureFromErrno(int error);

} // namespace platform
