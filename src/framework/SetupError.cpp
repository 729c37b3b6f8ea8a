#include "SetupError.h"

SetupError::SetupError(const char* message) noexcept {
  size_t length = 0;
  for (; message && message[length] && length + 1 < sizeof(message_); ++length) {
    message_[length] = message[length];
  }
  message_[length] = '\0';
}
