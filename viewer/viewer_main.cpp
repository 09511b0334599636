// The program's entry: WinMain hands over to viewerMain.
#include "viewer/viewer_state.h"

int viewerMain(HINSTANCE instance, LPSTR commandLine) {
  (void)commandLine;  // the viewer has no options

  if (!viewerScreen.create("Corvane", 640, 480, 2, viewerWindowProc, instance, nullptr, nullptr)) return 0;

  // Without a picture the viewer still runs: black area, frame and texts.
  viewerScreen.loadGraphic(viewerGraphic, "intro.bmp");

  ShowCursor(FALSE);

  clipRect.left = 21;
  clipRect.top = 16;
  clipRect.right = 619;
  clipRect.bottom = 464;

  return viewerScreen.run(drawFrame);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand) {
  (void)previousInstance;
  (void)showCommand;
  return viewerMain(instance, commandLine);
}
