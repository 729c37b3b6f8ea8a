#pragma once

// Resource identifiers shared by the resource script and the code.
#define IDR_LICENSE_TEXT 101
