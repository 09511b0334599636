// Which instruction set extensions the processor offers, by the platform's
// PF_* codes: the one answer behind IsProcessorFeaturePresent and the
// layer's own vector loops. Asked once; tests can hide every feature so that
// the portable loops run on the same processor, or AVX-512 alone.
#pragma once

#include <windows.h>

namespace layer {

bool processorFeaturePresent(DWORD feature);

// Behind the test API's hideProcessorFeatures.
void setProcessorFeaturesHidden(bool hidden);
// Behind the test API's hideAvx512: AVX-512 alone hidden, so that the AVX2
// loops run where the processor has both.
void setAvx512Hidden(bool hidden);

}  // namespace layer
