// The part every COM object of the layer shares: a label for the call record,
// a reference count, and IUnknown's three methods. No object offers another
// interface, so QueryInterface always answers E_NOINTERFACE.
//
// Derived (CRTP) supplies:
//   static constexpr ComNames kNames;  its interface's method names
//   void lastReleased();               what the last Release does (delete this, ...)
// and may hide keepsLastReference() for a count some owner holds on its behalf.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "core/trace.h"

namespace layer {

struct ComNames {
  const char *queryInterface;  // "IDirectDraw::QueryInterface"
  const char *addRef;
  const char *release;
  // Whether AddRef and Release consume an injected fault (and go on all the
  // same) or only record the call.
  bool refCountsTakeFaults;
};

template <class Interface, class Derived>
class ComObject : public Interface {
 public:
  explicit ComObject(std::string label) : label(std::move(label)) {}

  STDMETHOD(QueryInterface)(REFIID, void **object) override {
    if (auto fault = traceCall(Derived::kNames.queryInterface, label)) return *fault;
    if (!object) return E_POINTER;
    *object = nullptr;
    return E_NOINTERFACE;
  }

  STDMETHOD_(ULONG, AddRef)() override {
    traceReferenceCall(Derived::kNames.addRef);
    return ++references;
  }

  STDMETHOD_(ULONG, Release)() override {
    traceReferenceCall(Derived::kNames.release);
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
    if (Derived::kNames.refCountsTakeFaults)
      (void)traceCall(name, label);  // always goes on, whatever fault is armed
    else
      traceNote(name, label);
  }
};

}  // namespace layer
