#pragma once

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

// The line protocol of the programs the Python side drives: one command per line on standard
// input, one JSON answer per line on standard output, flushed at once so the reader never waits.
// A command that throws is answered with failure(what) and the loop goes on.
template <typename Dispatch, typename Failure>
int RunCommandLoop(Dispatch dispatch, Failure failure) {
  std::string line;
  bool quit = false;
  while (!quit && std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::string answer;
    try {
      answer = dispatch(line, quit);
    } catch (const std::exception& error) {
      answer = failure(error.what());
    }
    std::fwrite(answer.data(), 1, answer.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  return 0;
}
