// Writes the seed corpora of the fuzz harnesses into a directory, from our
// own sample pictures and from the BMP files of directories named on the
// command line (the shared BMP suite, where it lies):
//
//   fuzz_seeds OUTDIR [BMPDIR...]
//
//   OUTDIR/bmp_decode/   the sample pictures
//   OUTDIR/bmp_blit/     each picture behind a parameter block (bmp_blit_fuzz.cpp)
//   OUTDIR/viewer/       step sequences (viewer_player.h, stepsFromBytes)
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "sample_bitmaps.h"

namespace {

namespace fs = std::filesystem;

constexpr uintmax_t kLargestSeed = 64 * 1024;

void put16(std::vector<uint8_t> &out, int v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

// A parameter block for bmp_blit_fuzz: layout, odd pitch and size, the
// transfers partly off the surface, one mirrored.
std::vector<uint8_t> blitParameters(int variant) {
  std::vector<uint8_t> p;
  p.push_back(static_cast<uint8_t>(variant % 5));            // layout
  p.push_back(static_cast<uint8_t>(1 + 2 * (variant % 4)));  // odd extra pitch
  p.push_back(static_cast<uint8_t>(22 + variant % 9));       // width - 1
  p.push_back(static_cast<uint8_t>(16 + variant % 7));       // height - 1
  p.push_back(variant % 3 == 0 ? 20 : 1);                    // LoadImageA width (20, or 0)
  p.push_back(variant % 3 == 0 ? 12 : 1);                    // LoadImageA height
  p.push_back(0);                                            // shift
  p.push_back(static_cast<uint8_t>(variant % 6));            // colour operation
  const int numbers[8] = {-3, 2, 20 - variant % 5, variant % 2 ? -12 : 12, 1, 0, 9 + variant % 4, 5};
  for (int n : numbers) put16(p, n);
  return p;
}

bool write(const fs::path &path, const std::vector<uint8_t> &bytes) {
  if (robustness::writeFile(path.string(), bytes)) return true;
  std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", path.c_str());
  return false;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fuzz_seeds OUTDIR [BMPDIR...]\n");
    return 2;
  }
  const fs::path out(argv[1]);
  for (const char *kind : {"bmp_decode", "bmp_blit", "viewer"}) fs::create_directories(out / kind);

  std::vector<std::pair<std::string, std::vector<uint8_t>>> pictures;
  for (const robustness::SampleBitmap &b : robustness::sampleBitmaps()) pictures.emplace_back(b.name, b.bytes);
  bool ok = true;
  for (const auto &[name, bytes] : pictures) ok = write(out / "bmp_decode" / name, bytes) && ok;
  for (int i = 2; i < argc; ++i) {
    std::error_code error;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(argv[i], error)) {
      if (!entry.is_regular_file() || entry.path().extension() != ".bmp" || entry.file_size() > kLargestSeed) continue;
      std::string name = entry.path().parent_path().filename().string() + "_" + entry.path().filename().string();
      pictures.emplace_back(name, robustness::readFile(entry.path().string()));
    }
  }
  int variant = 0;
  for (const auto &[name, bytes] : pictures) {
    std::vector<uint8_t> input = blitParameters(variant++);
    input.insert(input.end(), bytes.begin(), bytes.end());
    ok = write(out / "bmp_blit" / name, input) && ok;
  }

  // Step sequences: every command key between frames; activation and focus
  // changes with keys in between; each file change followed by W, then the
  // file put back (byte 22 with argument 5) and checked.
  const std::vector<std::vector<uint8_t>> sequences = {
      {23, 1, 23, 2, 3, 23, 4, 5, 6, 7, 8, 23, 9, 10, 11, 12, 23, 13, 13, 23, 1, 23},
      {17, 2, 3, 18, 23, 19, 7, 20, 23, 21, 23, 10, 23, 14},
      {22, 0, 10, 23, 22, 1, 100, 10, 23, 22, 2, 10, 22, 3, 10, 21, 23, 22, 5, 23},
      {22, 4, 10, 21, 23, 23, 22, 5, 2, 2, 10, 23},
      {16, 0x72, 16, 0x3D, 15, 'A', 15, 0xBB, 15, 0x10, 23, 23},
      {12, 12, 12, 12, 12, 12, 12, 12, 12, 23, 13, 13, 13, 23, 19, 5, 6, 20, 23},
  };
  for (size_t i = 0; i < sequences.size(); ++i)
    ok = write(out / "viewer" / ("steps" + std::to_string(i)), sequences[i]) && ok;
  std::printf("fuzz_seeds: %zu pictures, %zu step sequences in %s\n", pictures.size(), sequences.size(), out.c_str());
  return ok ? 0 : 1;
}
