#pragma once

// Resource identifiers shared by the resource script and the code.
#define IDR_LICENSE_TEXT 101
// The first icon: the framework's kApplicationIconId.
#define IDI_SETUP 1
