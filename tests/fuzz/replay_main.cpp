// Runs a fuzz harness over saved inputs without libFuzzer: every file named
// on the command line, and every file inside each directory named, in name
// order. Used by the normal and the sanitizer builds to replay the
// regression inputs and the seed corpora.
//
//   <harness>_replay FILE|DIRECTORY...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace {

namespace fs = std::filesystem;

bool runFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // A copy of exactly the input's size, so that a read past its end is caught.
  std::vector<uint8_t> input(bytes.begin(), bytes.end());
  input.shrink_to_fit();
  LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  // Absolute paths first: a harness may work in a directory of its own.
  std::vector<fs::path> paths;
  for (int i = 1; i < argc; ++i) {
    std::error_code error;
    fs::path absolute = fs::absolute(argv[i], error);
    paths.push_back(error ? fs::path(argv[i]) : absolute);
  }
  if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
  size_t ran = 0;
  bool ok = true;
  for (const fs::path &path : paths) {
    std::error_code error;
    if (fs::is_directory(path, error)) {
      std::vector<fs::path> files;
      for (const fs::directory_entry &entry : fs::recursive_directory_iterator(path, error))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
      for (const fs::path &file : files) {
        ok = runFile(file) && ok;
        ++ran;
      }
    } else {
      ok = runFile(path) && ok;
      ++ran;
    }
  }
  std::printf("replay: %zu inputs ran without a finding\n", ran);
  return ok ? 0 : 1;
}
