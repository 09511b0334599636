// The layer's test build on Windows holds its DirectDraw only: Winsock is
// Windows' own there, and its start-up cannot be bent (CORVANE_WSA_GRANT is
// read and left alone).
#include "layer_test.h"

namespace layer {

void grantSocketVersion(WORD) {}

}  // namespace layer
