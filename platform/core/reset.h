// The reset registry: each part of the layer (and a host) registers a
// function that returns its process-wide state to its start, and the test
// build's layer::reset() runs them all, in the order they registered.
#pragma once

namespace layer {

void registerReset(void (*resetFunction)());
void runResets();

// A part's process-wide state, made on first use with its reset registered
// then; never destroyed, since calls may come during static destruction.
template <class State>
State &lazyState(void (*resetFunction)()) {
  static State *state = [resetFunction] {
    registerReset(resetFunction);
    return new State;
  }();
  return *state;
}

}  // namespace layer
