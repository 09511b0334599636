// DirectInput 7: the system keyboard as a device whose state is the host's
// keyboard, one byte per DirectInput scan code (0x80 while the key is down).
// Other devices are not registered.
#include <dinput.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/com_object.h"
#include "host/host.h"
#include "user/user_internal.h"

extern "C" {
const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Key = {0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
}

namespace {

// The predefined keyboard format: key n's state byte at offset n.
struct KeyboardObjects {
  DIOBJECTDATAFORMAT objects[256];
};

constexpr KeyboardObjects makeKeyboardObjects() {
  KeyboardObjects table{};
  for (DWORD key = 0; key < 256; ++key)
    table.objects[key] = {&GUID_Key, key, DIDFT_BUTTON | DIDFT_MAKEINSTANCE(key) | DIDFT_OPTIONAL, 0};
  return table;
}

// Built at compile time: programs may read it during static construction.
constinit KeyboardObjects keyboardObjects = makeKeyboardObjects();

}  // namespace

extern "C" const DIDATAFORMAT c_dfDIKeyboard = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), DIDF_RELAXIS, 256, 256, keyboardObjects.objects};

namespace layer::dinput {
namespace {

constexpr DWORD kOldestVersion = 0x0500;
constexpr DWORD kNewestVersion = 0x0800;

bool sameGuid(const GUID &a, const GUID &b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

class DirectInput;

// Where each key's byte goes in the program's data, from its data format.
struct KeyPlacement {
  DWORD offset;
  DWORD key;
};

class Keyboard final : public ComObject<IDirectInputDeviceA, Keyboard, "IDirectInputDevice"> {
 public:
  Keyboard(DirectInput *owner, int number);
  ~Keyboard();

  HRESULT STDMETHODCALLTYPE Acquire() override;
  HRESULT STDMETHODCALLTYPE Unacquire() override;
  HRESULT STDMETHODCALLTYPE GetDeviceState(DWORD size, LPVOID data) override;
  HRESULT STDMETHODCALLTYPE SetDataFormat(LPCDIDATAFORMAT format) override;
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD flags) override;

  void lastReleased();

 private:
  DirectInput *owner_;
  bool formatSet_ = false;
  DWORD dataSize_ = 0;
  std::vector<KeyPlacement> placements_;
  bool acquired_ = false;
};

class DirectInput final : public ComObject<IDirectInputA, DirectInput, "IDirectInput"> {
 public:
  explicit DirectInput(int number) : ComObject(format("directinput#%d", number)) {}

  HRESULT STDMETHODCALLTYPE CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICEA *device, LPUNKNOWN outer) override;

  // A device keeps its DirectInput object alive, without a traced AddRef.
  void hold() { ++references; }
  void letGo() { releaseReference(); }
  void lastReleased();
};

struct InputState {
  std::vector<DirectInput *> objects;  // live
  std::vector<Keyboard *> devices;     // live
  int nextNumber = 1;
  int nextDeviceNumber = 1;
};

void resetInput();

InputState &state() { return lazyState<InputState>(resetInput); }

template <typename T>
void drop(std::vector<T *> &list, T *item) {
  for (auto it = list.begin(); it != list.end(); ++it)
    if (*it == item) {
      list.erase(it);
      return;
    }
}

void resetInput() {
  InputState &s = state();
  std::vector<Keyboard *> devices = s.devices;
  std::vector<DirectInput *> objects = s.objects;
  s = InputState{};
  // Devices first: they let go of their DirectInput objects; state is already fresh.
  for (Keyboard *device : devices) delete device;
  for (DirectInput *object : objects) delete object;
}

// ---- Keyboard ----

Keyboard::Keyboard(DirectInput *owner, int number) : ComObject(format("keyboard#%d", number)), owner_(owner) {
  owner_->hold();
  state().devices.push_back(this);
}

Keyboard::~Keyboard() { drop(state().devices, this); }

void Keyboard::lastReleased() {
  DirectInput *owner = owner_;
  delete this;
  owner->letGo();
}

HRESULT Keyboard::SetDataFormat(LPCDIDATAFORMAT format) {
  if (auto fault = traceCall("IDirectInputDevice::SetDataFormat", [&] {
        return layer::format("%s, %s", label.c_str(),
                             format == &c_dfDIKeyboard ? "c_dfDIKeyboard"
                             : format                  ? "format"
                                                       : "NULL");
      }))
    return *fault;
  if (!format) return DIERR_INVALIDPARAM;
  if (acquired_) return DIERR_ACQUIRED;
  if (format->dwSize != sizeof(DIDATAFORMAT) || format->dwObjSize != sizeof(DIOBJECTDATAFORMAT) ||
      format->dwDataSize == 0 || format->dwDataSize % 4 != 0 || (format->dwNumObjs && !format->rgodf))
    return DIERR_INVALIDPARAM;
  std::vector<KeyPlacement> placements;
  for (DWORD i = 0; i < format->dwNumObjs; ++i) {
    const DIOBJECTDATAFORMAT &object = format->rgodf[i];
    if (object.dwOfs >= format->dwDataSize) return DIERR_INVALIDPARAM;
    if (object.pguid && !sameGuid(*object.pguid, GUID_Key)) continue;
    DWORD key = DIDFT_GETINSTANCE(object.dwType);
    if (key < 256) placements.push_back({object.dwOfs, key});
  }
  placements_ = std::move(placements);
  dataSize_ = format->dwDataSize;
  formatSet_ = true;
  return DI_OK;
}

HRESULT Keyboard::SetCooperativeLevel(HWND window, DWORD flags) {
  if (auto fault = traceCall("IDirectInputDevice::SetCooperativeLevel", [&] {
        return format("%s, %s, 0x%X", label.c_str(), user::label(window).c_str(), static_cast<unsigned>(flags));
      }))
    return *fault;
  bool exclusive = flags & DISCL_EXCLUSIVE, nonExclusive = flags & DISCL_NONEXCLUSIVE;
  bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
  if (exclusive == nonExclusive || foreground == background) return DIERR_INVALIDPARAM;
  if (flags &
      ~static_cast<DWORD>(DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND | DISCL_BACKGROUND | DISCL_NOWINKEY))
    return DIERR_INVALIDPARAM;
  // The keyboard can't be held exclusively while the program is in the background.
  if (exclusive && background) return DIERR_UNSUPPORTED;
  if (!user::isLiveWindow(window)) return DIERR_INVALIDPARAM;
  if (acquired_) return DIERR_ACQUIRED;
  return DI_OK;
}

HRESULT Keyboard::Acquire() {
  if (auto fault = traceCall("IDirectInputDevice::Acquire", label)) return *fault;
  if (!formatSet_) return DIERR_INVALIDPARAM;
  if (acquired_) return DI_NOEFFECT;
  acquired_ = true;
  return DI_OK;
}

HRESULT Keyboard::Unacquire() {
  if (auto fault = traceCall("IDirectInputDevice::Unacquire", label)) return *fault;
  if (!acquired_) return DI_NOEFFECT;
  acquired_ = false;
  return DI_OK;
}

HRESULT Keyboard::GetDeviceState(DWORD size, LPVOID data) {
  if (auto fault = traceCall("IDirectInputDevice::GetDeviceState",
                             [&] { return format("%s, %u", label.c_str(), static_cast<unsigned>(size)); }))
    return *fault;
  if (!acquired_) return DIERR_NOTACQUIRED;
  if (!data || size != dataSize_) return DIERR_INVALIDPARAM;
  uint8_t keys[256] = {};
  host().keyboardState(keys);
  uint8_t *out = static_cast<uint8_t *>(data);
  std::memset(out, 0, size);
  for (const KeyPlacement &placement : placements_) out[placement.offset] = keys[placement.key];
  return DI_OK;
}

// ---- DirectInput ----

void DirectInput::lastReleased() {
  drop(state().objects, this);
  delete this;
}

HRESULT DirectInput::CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICEA *device, LPUNKNOWN outer) {
  bool keyboard = sameGuid(guid, GUID_SysKeyboard);
  if (auto fault = traceCall("IDirectInput::CreateDevice",
                             [&] { return format("%s, %s", label.c_str(), keyboard ? "GUID_SysKeyboard" : "device"); }))
    return *fault;
  if (!device) return DIERR_INVALIDPARAM;
  *device = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (!keyboard) return DIERR_DEVICENOTREG;
  *device = new Keyboard(this, state().nextDeviceNumber++);
  return DI_OK;
}

}  // namespace
}  // namespace layer::dinput

extern "C" HRESULT WINAPI DirectInputCreateA(HINSTANCE instance, DWORD version, LPDIRECTINPUTA *directInput,
                                             LPUNKNOWN outer) {
  using namespace layer::dinput;
  if (auto fault = layer::traceCall("DirectInputCreateA", [&] {
        return layer::format("%s, 0x%04X", instance ? "instance" : "NULL", static_cast<unsigned>(version));
      }))
    return *fault;
  if (!directInput) return DIERR_INVALIDPARAM;
  *directInput = nullptr;
  if (!instance) return DIERR_INVALIDPARAM;
  if (version < kOldestVersion) return DIERR_OLDDIRECTINPUTVERSION;
  if (version > kNewestVersion) return DIERR_BETADIRECTINPUTVERSION;
  if (outer) return CLASS_E_NOAGGREGATION;
  InputState &s = state();
  DirectInput *object = new DirectInput(s.nextNumber++);
  s.objects.push_back(object);
  *directInput = object;
  return DI_OK;
}
