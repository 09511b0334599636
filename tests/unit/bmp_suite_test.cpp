// The decoder against the public BMP suite: good files must decode to their
// reference pictures, questionable ones decode to one of theirs or are
// refused, bad ones are refused or decoded without reading past the file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "gdi/bmp_decoder.h"
#include "support/bmp_writer.h"
#include "support/png_reader.h"

using namespace layer;
using namespace layer::gdi;
using bmptest::GuardedBytes;

namespace {

const std::string kSuite = CORVANE_BMPSUITE_DIR;

struct Entry {
  std::string category, file;
  std::vector<std::string> references;  // the ones present in ref/
  int listedReferences = 0;
};

std::vector<Entry> readIndex() {
  std::vector<Entry> entries;
  std::ifstream index(kSuite + "/INDEX.tsv");
  std::string line;
  std::getline(index, line);  // column names
  while (std::getline(index, line)) {
    std::vector<std::string> fields;
    std::stringstream row(line);
    for (std::string f; std::getline(row, f, '\t');) fields.push_back(f);
    if (fields.size() < 13) continue;
    Entry e{fields[0], fields[1], {}, 0};
    std::stringstream refs(fields[12]);
    for (std::string r; std::getline(refs, r, '|');) {
      if (r == "N/A" || r.size() < 4 || r.substr(r.size() - 4) != ".png") continue;
      ++e.listedReferences;
      if (access((kSuite + "/" + r).c_str(), R_OK) == 0) e.references.push_back(r);
    }
    entries.push_back(e);
  }
  return entries;
}

std::vector<uint8_t> readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Largest difference of any channel between the decoded picture and a
// reference; -1 when the sizes differ. Pixels the reference makes fully
// transparent are skipped: their colour is not defined, and the viewer
// ignores alpha.
int difference(const Bitmap &bitmap, const bmptest::RgbaImage &reference) {
  const PixelBuffer &p = bitmap.pixels;
  if (p.width != reference.width || p.height != reference.height) return -1;
  int worst = 0;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      if (reference.alpha(x, y) == 0) continue;
      uint32_t got = unpackFromTarget(p, readPixel(p, x, y));
      uint32_t want = reference.colorref(x, y);
      for (int c = 0; c < 24; c += 8) {
        int d = std::abs(int((got >> c) & 0xFF) - int((want >> c) & 0xFF));
        if (d > worst) worst = d;
      }
    }
  return worst;
}

// Channels narrower or wider than 8 bits may be scaled differently from the
// reference's rounding by one step.
bool eightBitChannels(const Bitmap &bitmap) {
  const PixelLayout &l = bitmap.pixels.layout;
  if (l.bitsPerPixel == 8) return true;
  return std::popcount(l.redMask) == 8 && std::popcount(l.greenMask) == 8 && std::popcount(l.blueMask) == 8;
}

struct Verdict {
  bool decoded = false;
  int best = -1;  // smallest difference to any present reference
  BmpError error = BmpError::None;
  bool hasProfile = false;  // a V5 header naming an embedded or linked colour profile
};

bool namesColorProfile(const std::vector<uint8_t> &file) {
  if (file.size() < 14 + 124 || file[14] != 124) return false;
  uint32_t type = uint32_t(file[14 + 56]) | (uint32_t(file[14 + 57]) << 8) | (uint32_t(file[14 + 58]) << 16) |
                  (uint32_t(file[14 + 59]) << 24);
  return type == 0x4D424544 || type == 0x4C494E4B;  // 'MBED', 'LINK'
}

Verdict judge(const Entry &e) {
  Verdict v;
  std::vector<uint8_t> file = readFile(kSuite + "/" + e.file);
  v.hasProfile = namesColorProfile(file);
  GuardedBytes bytes(file);
  BmpResult result = decodeBmp(bytes.data(), bytes.size());
  v.error = result.error;
  if (!result.bitmap) return v;
  v.decoded = true;
  EXPECT_LE(result.bitmap->storage.size(), kBmpMaxPixelBytes) << e.file;
  for (const std::string &r : e.references) {
    bmptest::RgbaImage reference;
    std::string why;
    if (!bmptest::readPng(kSuite + "/" + r, &reference, &why)) {
      ADD_FAILURE() << why;
      continue;
    }
    int d = difference(*result.bitmap, reference);
    if (d >= 0 && (v.best < 0 || d < v.best)) v.best = d;
  }
  if (v.best > 0 && eightBitChannels(*result.bitmap)) v.best += 1000;  // 8-bit channels must match exactly
  return v;
}

class BmpSuite : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access((kSuite + "/INDEX.tsv").c_str(), R_OK) != 0)
      GTEST_SKIP() << "BMP suite not found at " << kSuite << " (CORVANE_BMPSUITE_DIR)";
    entries_ = readIndex();
    ASSERT_FALSE(entries_.empty());
  }
  std::vector<Entry> entries_;
};

TEST_F(BmpSuite, GoodFilesMatchTheirReferences) {
  int total = 0, exact = 0, close = 0;
  for (const Entry &e : entries_) {
    if (e.category != "g") continue;
    ++total;
    Verdict v = judge(e);
    EXPECT_TRUE(v.decoded) << e.file << ": " << describeBmpError(v.error);
    if (!v.decoded) continue;
    ASSERT_FALSE(e.references.empty()) << e.file;
    EXPECT_GE(v.best, 0) << e.file << ": size differs from the reference";
    EXPECT_LE(v.best, 1) << e.file << ": differs by " << v.best;
    if (v.best == 0) ++exact;
    if (v.best == 1) ++close;
  }
  std::printf("good: %d/%d match (%d exact, %d within 1)\n", exact + close, total, exact, close);
  EXPECT_EQ(total, 27);
}

TEST_F(BmpSuite, QuestionableFilesMatchOneReferenceOrAreRefused) {
  int total = 0, matched = 0, refused = 0, unchecked = 0, profileIgnored = 0;
  for (const Entry &e : entries_) {
    if (e.category != "q") continue;
    ++total;
    Verdict v = judge(e);
    if (!v.decoded) {
      ++refused;
      std::printf("  refused %s: %s\n", e.file.c_str(), describeBmpError(v.error));
      continue;
    }
    if (e.references.empty()) {
      ++unchecked;  // its reference is not part of the suite's copy
      std::printf("  read %s (no reference present)\n", e.file.c_str());
      continue;
    }
    if (v.hasProfile && v.best > 1) {
      // The reference shows the colour-managed picture; LoadImageA shows the
      // file's own values, as this decoder does.
      ++profileIgnored;
      std::printf("  read %s with its colour profile ignored (differs by %d)\n", e.file.c_str(), v.best % 1000);
      continue;
    }
    EXPECT_GE(v.best, 0) << e.file << ": size differs from every reference";
    EXPECT_LE(v.best, 1) << e.file << ": differs from every reference by at least " << v.best;
    if (v.best >= 0 && v.best <= 1) ++matched;
  }
  std::printf(
      "questionable: %d/%d read or refused (%d read and matched, %d refused, %d read without a reference, %d read "
      "with the colour profile ignored)\n",
      matched + refused + unchecked + profileIgnored, total, matched, refused, unchecked, profileIgnored);
}

TEST_F(BmpSuite, BadFilesAreSurvived) {
  int total = 0, refused = 0;
  for (const Entry &e : entries_) {
    if (e.category != "b") continue;
    ++total;
    Verdict v = judge(e);  // a read past the end would fault here
    if (!v.decoded) ++refused;
    std::printf("  %s %s%s%s\n", v.decoded ? "read" : "refused", e.file.c_str(), v.decoded ? "" : ": ",
                v.decoded ? "" : describeBmpError(v.error));
  }
  std::printf("bad: %d/%d survived (%d refused)\n", total, total, refused);
}

// Every prefix of every suite file: no read past the cut, no crash.
TEST_F(BmpSuite, TruncatedFilesNeverReadPastTheirEnd) {
  for (const Entry &e : entries_) {
    std::vector<uint8_t> whole = readFile(kSuite + "/" + e.file);
    std::vector<size_t> cuts;
    for (size_t cut = 0; cut < whole.size() && cut < 1200; ++cut) cuts.push_back(cut);  // every header byte
    for (size_t k = 1; k < 64; ++k) cuts.push_back(whole.size() * k / 64);              // across the pixels
    for (size_t cut : cuts) {
      GuardedBytes bytes(std::vector<uint8_t>(whole.begin(), whole.begin() + static_cast<long>(cut)));
      BmpResult result = decodeBmp(bytes.data(), bytes.size());
      if (result.bitmap) {
        EXPECT_GT(cut, 54u) << e.file;
      }
    }
  }
}

}  // namespace
