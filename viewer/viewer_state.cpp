// The viewer's objects of static storage duration. They are constructed in
// the order written here and destroyed in reverse: the first socket guard,
// the Screen, the Graphic (so its surface is released before the DirectDraw
// object that made it), then the second and third socket guards.
#include "viewer/viewer_state.h"

#include "screen/socket_library_guard.h"

static SocketLibraryGuard firstSocketGuard;
Screen viewerScreen;
Graphic viewerGraphic;
static SocketLibraryGuard secondSocketGuard;
static SocketLibraryGuard thirdSocketGuard;

float zoom = 1.0f;
bool menuVisible = false;
ClipRect clipRect = {0, 0, 0, 0};
