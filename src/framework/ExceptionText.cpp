#include "ExceptionText.h"

std::string ComposeExceptionText(const std::string& message) {
  if (message.empty()) return message;
  // Compared as bytes of the ANSI code page: every character above 0x7F sorts after ".".
  if (static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.')) {
    return message + ".";
  }
  return message;
}
