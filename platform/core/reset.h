// The reset registry: each part of the layer (and a host) registers a
// function that returns its process-wide state to its start, and the test
// build's layer::reset() runs them all, in the order they registered.
#pragma once

namespace layer {

void registerReset(void (*resetFunction)());
void runResets();

}  // namespace layer
