#pragma once
// The answer of a call that can fail for reasons outside the program (a damaged file,
// a refused connection): a value, or the error that took its place. Reading the value
// of a failure is a programming error and raises std::logic_error.
#include <optional>
#include <stdexcept>
#include <utility>

#include "foundation/Error.h"

template <typename T>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : value_(std::move(value)) {}
  Expected(ErrorRef error) : error_(std::move(error)) {
    if (!error_) throw std::logic_error("a failure without an error");
  }

  bool hasValue() const { return value_.has_value(); }
  explicit operator bool() const { return hasValue(); }
  // The error of a failure; null for a value.
  const ErrorRef& error() const { return error_; }

  T& value() & { return checked(); }
  const T& value() const& { return const_cast<Expected*>(this)->checked(); }
  T&& value() && { return std::move(checked()); }
  T& operator*() & { return checked(); }
  const T& operator*() const& { return value(); }
  T&& operator*() && { return std::move(checked()); }
  T* operator->() { return &checked(); }
  const T* operator->() const { return &value(); }

 private:
  T& checked() {
    if (!value_) throw std::logic_error("the value of a failure was read: " + error_->localizedDescription());
    return *value_;
  }

  std::optional<T> value_;
  ErrorRef error_;
};
