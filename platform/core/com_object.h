// The part every COM object of the layer shares: a label for the call record,
// a reference count, and IUnknown's three methods. No object offers another
// interface, so QueryInterface always answers E_NOINTERFACE.
//
// Derived (CRTP) names its interface, as the call record spells it, and
// supplies lastReleased(), what the last Release does (delete this, ...); it
// may hide keepsLastReference() for a count some owner holds on its behalf.
#pragma once

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <utility>

#include "core/trace.h"

namespace layer {

// A name given as a template argument ("IDirectDraw").
template <size_t N>
struct InterfaceName {
  char text[N];
  constexpr InterfaceName(const char (&name)[N]) { std::copy_n(name, N, text); }
};

// "IDirectDraw" and "::AddRef" joined at compile time, into static storage.
template <InterfaceName Interface, InterfaceName Method>
inline constexpr auto kMethodName = [] {
  constexpr size_t interfaceLength = sizeof(Interface.text) - 1;
  std::array<char, interfaceLength + sizeof(Method.text)> joined{};
  std::copy_n(Interface.text, interfaceLength, joined.data());
  std::copy_n(Method.text, sizeof(Method.text), joined.data() + interfaceLength);
  return joined;
}();

// Whether AddRef and Release consume an injected fault (and go on all the
// same) or only record the call.
enum class ReferenceFaults { Recorded, Taken };

template <class Interface, class Derived, InterfaceName Name, ReferenceFaults Faults = ReferenceFaults::Recorded>
class ComObject : public Interface {
 public:
  explicit ComObject(std::string label) : label(std::move(label)) {}

  STDMETHOD(QueryInterface)(REFIID, void **object) override {
    if (auto fault = traceCall(kMethodName<Name, "::QueryInterface">.data(), label)) return *fault;
    if (!object) return E_POINTER;
    *object = nullptr;
    return E_NOINTERFACE;
  }

  STDMETHOD_(ULONG, AddRef)() override {
    traceReferenceCall(kMethodName<Name, "::AddRef">.data());
    return ++references;
  }

  STDMETHOD_(ULONG, Release)() override {
    traceReferenceCall(kMethodName<Name, "::Release">.data());
    if (self().keepsLastReference()) {
      if (references > 1) --references;
      return references;
    }
    return releaseReference();
  }

  // While true, Release never takes the count below one.
  bool keepsLastReference() const { return false; }

  const std::string label;
  ULONG references = 1;

 protected:
  // Release without the call record, for references the layer holds itself.
  ULONG releaseReference() {
    if (references == 0) return 0;
    if (--references > 0) return references;
    self().lastReleased();  // may delete this
    return 0;
  }

 private:
  Derived &self() { return static_cast<Derived &>(*this); }
  void traceReferenceCall(const char *name) {
    if constexpr (Faults == ReferenceFaults::Taken)
      (void)traceCall(name, label);  // always goes on, whatever fault is armed
    else
      traceNote(name, label);
  }
};

}  // namespace layer
