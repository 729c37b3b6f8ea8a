#pragma once

#include <string>

// The text of the application's exception display: the exception's message, with a full stop
// appended when its last character sorts after ".".
std::string ComposeExceptionText(const std::string& message);
