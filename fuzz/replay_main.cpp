// Runs a fuzz target without libFuzzer, so ordinary builds compile every
// target and the test suite exercises them under the sanitizers:
//
//   fuzz_x FILE...        feeds each file (a saved crash, a corpus entry)
//   fuzz_x --random N     feeds N inputs drawn from a fixed seed
//
// Both may be given. The inputs are the same on every run, so a fault it
// finds replays; coverage-guided search stays the job of the libFuzzer build.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

int Usage() {
  std::fprintf(stderr, "usage: fuzz_target [--random N] [FILE...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  long random_inputs = 0;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--random") == 0) {
      if (i + 1 >= argc) return Usage();
      char* end = nullptr;
      random_inputs = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || random_inputs < 0) return Usage();
    } else {
      files.emplace_back(argv[i]);
    }
  }
  if (files.empty() && random_inputs == 0) return Usage();

  for (const std::string& name : files) {
    std::ifstream in(name, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cannot read %s\n", name.c_str());
      return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }

  // Mostly short inputs, where the targets branch most; now and then a long one.
  std::mt19937_64 rng(20261208);
  std::vector<uint8_t> bytes;
  for (long n = 0; n < random_inputs; ++n) {
    const size_t size = rng() % 8 == 0 ? rng() % 4096 : rng() % 256;
    bytes.resize(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  }
  std::printf("%zu files and %ld random inputs, no fault\n", files.size(), random_inputs);
  return 0;
}
