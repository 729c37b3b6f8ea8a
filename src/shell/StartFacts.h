#pragma once

// Writes to the support log what support asks first: which setup this is and where it runs
// from, where it downloads from and whether it checks signatures, which Windows runs it, with
// which rights, at which DPI and in which code page.
void LogStartFacts(int windowDpi);
