// The linked host of programs built for people: one SdlHost for the whole
// process, shut down when the process ends.
#include <cstdlib>

#include "core/reset.h"
#include "host/sdl/sdl_host.h"

namespace layer {
namespace {

sdl::SdlHost *theHost = nullptr;

void resetHost() { theHost->shutdown(); }
void finishHost() { theHost->finish(); }

}  // namespace

Host &host() {
  if (!theHost) {
    theHost = new sdl::SdlHost;  // never deleted: calls may come during static destruction
    registerReset(resetHost);
    std::atexit(finishHost);
  }
  return *theHost;
}

}  // namespace layer
