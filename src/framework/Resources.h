#pragma once

#include <string>

// The exe's first icon resource: the shell shows it for the file, and the window for itself.
constexpr int kApplicationIconId = 1;

// A text kept in the exe's resources (RT_RCDATA), with its line breaks made CR LF as the
// multi-line edit control needs them. Empty when the resource is missing.
std::string LoadTextResource(int id);
