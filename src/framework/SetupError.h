#pragma once

#include <exception>
#include <string>

// The setup's own failure. Its message, up to 255 bytes, is kept in the object itself, so that
// copying it, as throwing does, can never fail; and unlike the library's exception classes it
// brings no second string implementation into the exe.
class SetupError : public std::exception {
 public:
  explicit SetupError(const char* message) noexcept;
  explicit SetupError(const std::string& message) noexcept : SetupError(message.c_str()) {}
  const char* what() const noexcept override { return message_; }

 private:
  char message_[256];
};
