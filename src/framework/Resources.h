#pragma once

#include <string>

// A text kept in the exe's resources (RT_RCDATA), with its line breaks made CR LF as the
// multi-line edit control needs them. Empty when the resource is missing.
std::string LoadTextResource(int id);
