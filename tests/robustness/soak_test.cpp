// The soak: the real viewer on the headless host, in this process, given
// 100,000 random commands (every command key, other keys, activation
// changes, focus losses that lose the surfaces, intro.bmp replaced by another
// picture, cut short, not a BMP, deleted or a directory, then put back)
// while every presented frame is checked: zoom within 0.1 to 16, the frame
// lines on their pixels, the texts in place, the picture one to one at zoom
// 1, no surface left locked; W after the file comes back restores its pixels
// exactly; Esc now and then ends the run and the viewer starts again. Memory
// must stay flat once warmed up.
//
// CORVANE_SOAK_COMMANDS and CORVANE_SOAK_SEED change the count and the seed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "driver_run.h"
#include "support/address_sanitizer.h"
#include "viewer_player.h"

namespace {

using robustness::ViewerStep;

constexpr size_t kDefaultCommands = 100000;

size_t environmentNumber(const char *name, size_t fallback) {
  const char *text = std::getenv(name);
  return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

// Resident and peak resident memory in KiB.
size_t statusKiB(const char *field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(in, line))
    if (line.rfind(key, 0) == 0) return std::strtoull(line.c_str() + key.size(), nullptr, 10);
  return 0;
}

// Random commands in runs that end at each Esc; the file is always put back
// (and checked after W) before a run ends.
std::vector<std::vector<ViewerStep>> randomRuns(size_t commands, unsigned seed) {
  std::mt19937 random(seed);
  auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const std::vector<int> colourKeys = {2, 3, 4, 5, 6, 7, 8, 9, 10, 12};  // B C D E I Q R T U Y
  std::vector<std::vector<ViewerStep>> runs(1);
  size_t count = 0;
  bool fileChanged = false, inactive = false;
  int activateIn = 0;
  auto add = [&](ViewerStep step) {
    runs.back().push_back(step);
    if (step.kind != ViewerStep::Frames && step.kind != ViewerStep::CheckPicture) ++count;
  };
  auto putBack = [&] {
    add({ViewerStep::RestoreFile, 0});
    add({ViewerStep::Key, robustness::kRestoreKeyIndex});
    add({ViewerStep::CheckPicture, 0});
    fileChanged = false;
  };
  while (count < commands) {
    const int r = below(1000);
    if (r < 450) {
      add({ViewerStep::Key, colourKeys[static_cast<size_t>(below(static_cast<int>(colourKeys.size())))]});
    } else if (r < 510) {
      add({ViewerStep::Key, robustness::kRestoreKeyIndex});
    } else if (r < 580) {
      // Zoom in bursts, so that both bounds are reached and held.
      const int index = below(2) ? 13 : 14, presses = 1 + below(40);
      for (int i = 0; i < presses; ++i) add({ViewerStep::Key, index});
    } else if (r < 660) {
      add({ViewerStep::Key, below(2) ? 13 : 14});  // single zoom steps
    } else if (r < 690) {
      add({ViewerStep::Key, 1});  // space
    } else if (r < 730) {
      const std::vector<unsigned> &keys = robustness::otherKeys();
      add({ViewerStep::OtherKey, static_cast<int>(keys[static_cast<size_t>(below(static_cast<int>(keys.size())))])});
    } else if (r < 755) {
      add({ViewerStep::HeldKey, 1 + below(14), 1 + below(6)});
    } else if (r < 800) {
      if (!inactive) {
        add({ViewerStep::Deactivate, 0});
        inactive = true;
        activateIn = 1 + below(12);  // commands until the viewer is active again
      }
    } else if (r < 825) {
      // Keys go elsewhere while the focus is away: it comes back before the
      // next key, perhaps after the file has changed meanwhile.
      add({ViewerStep::FocusLost, 0});
      if (below(3) == 0) {
        add({ViewerStep::ReplaceFile, below(64)});
        fileChanged = true;
      }
      add({ViewerStep::Frames, 1});
      add({ViewerStep::FocusGained, 0});
      inactive = false;
    } else if (r < 845) {
      add({ViewerStep::LoseSurfaces, 0});
    } else if (r < 885) {
      if (fileChanged && below(3) == 0) {
        putBack();
      } else {
        switch (below(5)) {
          case 0:
            add({ViewerStep::ReplaceFile, below(64)});
            break;
          case 1:
            add({ViewerStep::TruncateFile, below(256)});
            break;
          case 2:
            add({ViewerStep::NotBmpFile, below(2)});
            break;
          case 3:
            add({ViewerStep::DeleteFile, 0});
            break;
          default:
            add({ViewerStep::DirectoryFile, 0});
            break;
        }
        fileChanged = true;
      }
    } else if (r < 886) {
      // Esc: the run ends, the next one starts a fresh viewer.
      if (fileChanged) putBack();
      add({ViewerStep::Key, robustness::kEscapeIndex});
      runs.emplace_back();
      inactive = false;
    } else {
      add({ViewerStep::Frames, 1 + below(2)});
    }
    if (inactive && --activateIn <= 0) {
      add({ViewerStep::Activate, 0});
      inactive = false;
    }
    if (below(10) < 7) add({ViewerStep::Frames, 1});
  }
  if (fileChanged) putBack();
  return runs;
}

TEST(Soak, RandomCommandsKeepEveryFrameRightAndMemoryFlat) {
  const size_t commands = environmentNumber("CORVANE_SOAK_COMMANDS", kDefaultCommands);
  const unsigned seed = static_cast<unsigned>(environmentNumber("CORVANE_SOAK_SEED", 20240607));
  setenv("CORVANE_QUIET_DEBUG", "1", 1);

  char pattern[] = "/tmp/corvane-soak-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::filesystem::path previous = std::filesystem::current_path();
  ASSERT_EQ(chdir(pattern), 0);

  std::vector<std::string> problems;
  size_t sent = 0, frames = 0, warmRss = 0, warmAt = 0, lastSample = 0;
  std::vector<std::pair<size_t, size_t>> samples;  // commands sent, RSS in KiB
  const size_t warmUp = commands / 4, sampleEvery = std::max<size_t>(commands / 20, 1);
  const std::vector<std::vector<ViewerStep>> runs = randomRuns(commands, seed);
  size_t exitsWith27 = 0;
  for (const std::vector<ViewerStep> &steps : runs) {
    robustness::resetViewer();
    robustness::ViewerPlayer::Options options;
    options.originalFile = robustness::introPath();
    robustness::ViewerPlayer player(steps, options, [&](const std::string &problem) {
      if (problems.size() < 20) problems.push_back(problem);
    });
    const size_t sentBefore = sent;
    player.afterFrame = [&](size_t) {
      const size_t now = sentBefore + player.commandsSent();
      if (now >= lastSample + sampleEvery) {
        lastSample = now;
        samples.emplace_back(now, statusKiB("VmRSS"));
        if (warmRss == 0 && now >= warmUp) {
          warmRss = samples.back().second;
          warmAt = now;
        }
      }
    };
    const int exitCode = player.run();
    if (exitCode == 27) ++exitsWith27;
    if (std::getenv("CORVANE_PLAYER_TRACE")) {
      std::printf("soak: run ended with %d after %zu of %zu steps\n", exitCode, player.stepsDone(), steps.size());
      for (const std::string &note : player.notes()) std::printf("soak:   %s\n", note.c_str());
    }
    sent += player.commandsSent();
    frames += player.framesSeen();
    if (problems.size() >= 20) break;
  }
  robustness::resetViewer();
  const size_t finalRss = statusKiB("VmRSS"), peakRss = statusKiB("VmHWM");
  ASSERT_EQ(chdir(previous.c_str()), 0);
  std::filesystem::remove_all(pattern);

  std::printf(
      "soak: %zu commands in %zu runs, %zu frames; RSS %zu KiB after warm-up (%zu commands), %zu KiB at the "
      "end, peak %zu KiB\n",
      sent, runs.size(), frames, warmRss, warmAt, finalRss, peakRss);
  for (const auto &[at, rss] : samples) std::printf("soak:   %8zu commands  %7zu KiB\n", at, rss);
  for (const std::string &p : problems) ADD_FAILURE() << p;
  EXPECT_GE(sent, commands);
  EXPECT_EQ(exitsWith27, runs.size()) << "every run ends with Esc";
#if defined(CORVANE_ADDRESS_SANITIZER)
  std::printf("soak: memory not judged under AddressSanitizer (its quarantine holds freed blocks)\n");
#else
  // Flat: after warm-up no sample lies more than 8 MiB above the warm level.
  ASSERT_GT(warmRss, 0u);
  for (const auto &[at, rss] : samples) {
    if (at >= warmAt) {
      EXPECT_LE(rss, warmRss + 8 * 1024) << "RSS grew to " << rss << " KiB by " << at << " commands";
    }
  }
  EXPECT_LE(finalRss, warmRss + 8 * 1024);
#endif
}

}  // namespace
