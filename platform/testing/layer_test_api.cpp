// The test API's hooks into the processor's features, GDI, USER and Windows
// Sockets.
#include "core/processor_features.h"
#include "gdi/gdi_internal.h"
#include "layer_test.h"
#include "user/user_internal.h"
#include "winsock/winsock_internal.h"

namespace layer {

void hideProcessorFeatures(bool hidden) { setProcessorFeaturesHidden(hidden); }
void hideAvx512(bool hidden) { setAvx512Hidden(hidden); }

void registerBitmapResource(const std::string &name, const std::vector<uint8_t> &bmpFile) {
  gdi::setBitmapResource(name, bmpFile);
}
void clearBitmapResources() { gdi::forgetBitmapResources(); }
void setFontLookupEnabled(bool enabled) { gdi::setFaceLookupEnabled(enabled); }
int liveGdiObjectCount() { return gdi::liveObjectCount(); }

int cursorCounter() { return user::cursorShowCount(); }

void grantSocketVersion(WORD version) { winsock::grantVersion(version); }
int socketStartupCount() { return winsock::startupCount(); }

}  // namespace layer
