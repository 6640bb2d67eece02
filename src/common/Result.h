#pragma once
// Result type used inside a layer: a value or an error code with context that
// grows as the error travels up ("opening FF00.bin: No such file").

#include <string>
#include <utility>
#include <variant>

namespace mzt {

enum class ErrorCode {
  kInvalidArgument,
  kNotFound,
  kBusy,
  kIo,
  kTimeout,
  kDisconnected,
  kFormat,
  kRefused,
  kNetwork,
  kHttpStatus,
  kTooLarge,
  kCancelled,
};

struct Error {
  ErrorCode code;
  std::string message;
  int systemCode = 0;  // errno or a client's error code, 0 when none

  // Prefixes context: "reading FF00.bin" + ": " + message.
  Error&& With(const std::string& context) && {
    message = message.empty() ? context : context + ": " + message;
    return std::move(*this);
  }
};

template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : data_(std::move(value)) {}  // NOLINT: implicit by design
  Result(Error error) : data_(std::move(error)) {}  // NOLINT

  bool Ok() const { return data_.index() == 0; }
  explicit operator bool() const { return Ok(); }
  T& Value() & { return std::get<0>(data_); }
  const T& Value() const& { return std::get<0>(data_); }
  T&& Value() && { return std::get<0>(std::move(data_)); }
  const Error& Err() const { return std::get<1>(data_); }
  Error&& TakeError() && { return std::get<1>(std::move(data_)); }

 private:
  std::variant<T, Error> data_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::move(error)), ok_(false) {}  // NOLINT

  bool Ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  const Error& Err() const { return error_; }
  Error&& TakeError() && { return std::move(error_); }

 private:
  Error error_{ErrorCode::kIo, {}};
  bool ok_ = true;
};

inline Result<void> Success() { return {}; }

}  // namespace mzt
