#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Turns a chord such as "tab", "shift+tab", "space" or "alt+f4" into the key presses and
// releases a keyboard would produce. Empty when a name is unknown.
std::vector<INPUT> KeyChord(const std::string& chord);
