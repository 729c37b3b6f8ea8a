// What hashing costs the keyed setup: files hashed with the setup's own SHA-256 (engine/Cng.h,
// with CNG's bcrypt.dll loaded as the setup loads it), piece by piece, as the setup's transfers
// hash the data as it arrives.
//   BenchHash PIECE_BYTES FILE...
// Reads the files first, untimed, then hashes each from its first byte in pieces of
// PIECE_BYTES. Prints one JSON object on standard output: the bytes hashed, the seconds that
// took, and the seconds that loading CNG and opening its SHA-256 took before.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "engine/Cng.h"

namespace {

int Fail(const std::string& what) {
  std::printf("{\"ok\": false, \"error\": \"%s\"}\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: BenchHash PIECE_BYTES FILE...\n");
    return 2;
  }
  const size_t piece = std::strtoul(argv[1], nullptr, 10);
  if (piece == 0) return Fail("the piece size must be a positive number");
  std::vector<std::vector<char>> files;
  unsigned long long totalBytes = 0;
  for (int i = 2; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    if (!file) return Fail(std::string("cannot read ") + argv[i]);
    files.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    totalBytes += files.back().size();
  }

  const bench::Stopwatch loading;
  Sha256Hash hash;
  const double loadSeconds = loading.Seconds();
  const bench::Stopwatch stopwatch;
  for (const std::vector<char>& data : files) {
    hash.Restart();
    for (size_t at = 0; at < data.size(); at += piece) {
      hash.Add(data.data() + at, std::min(piece, data.size() - at));
    }
    Sha256Digest digest;
    if (!hash.Finish(digest)) return Fail("CNG could not hash");
  }
  const double seconds = stopwatch.Seconds();
  std::printf("{\"ok\": true, \"bytes\": %llu, \"piece\": %u, \"seconds\": %.6f, "
              "\"load_seconds\": %.6f}\n",
              totalBytes, static_cast<unsigned>(piece), seconds, loadSeconds);
  return 0;
}
