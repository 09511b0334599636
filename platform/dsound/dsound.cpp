// DirectSound: the default sound device and its primary buffer. The device
// holds the host's audio output open from its creation until its release;
// while the primary buffer plays, the host plays silence, since nothing is
// ever mixed in. Secondary buffers are not offered.
#include <dsound.h>

#include <cstddef>
#include <string>
#include <vector>

#include "core/com_object.h"
#include "host/host.h"
#include "user/user_internal.h"

namespace layer::dsound {
namespace {

class DirectSound;

class PrimaryBuffer final : public ComObject<IDirectSoundBuffer, PrimaryBuffer, "IDirectSoundBuffer"> {
 public:
  PrimaryBuffer(DirectSound *owner, int number) : ComObject(format("primarybuffer#%d", number)), owner_(owner) {}
  ~PrimaryBuffer() = default;

  HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override;
  HRESULT STDMETHODCALLTYPE Play(DWORD reserved1, DWORD priority, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Stop() override;

  void lastReleased();

 private:
  DirectSound *owner_;
  bool playing_ = false;
};

class DirectSound final : public ComObject<IDirectSound, DirectSound, "IDirectSound"> {
 public:
  explicit DirectSound(int number) : ComObject(format("directsound#%d", number)) {}
  ~DirectSound() { delete primary_; }

  HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER buffer,
                                              IUnknown *outer) override;
  HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND window, DWORD level) override;

  // The primary buffer's last reference went: it is gone until made again.
  void forgetPrimary() { primary_ = nullptr; }
  // The last release takes the buffers with it, as the platform does.
  void lastReleased();

 private:
  DWORD level_ = 0;  // 0: no cooperative level set yet
  PrimaryBuffer *primary_ = nullptr;
};

struct SoundState {
  std::vector<DirectSound *> live;  // objects not yet released
  int nextNumber = 1;
  int nextBufferNumber = 1;
};

void resetSound();

SoundState &state() { return lazyState<SoundState>(resetSound); }

// The host's audio output is open while any DirectSound object exists.
void forget(DirectSound *sound) {
  std::vector<DirectSound *> &live = state().live;
  for (size_t i = 0; i < live.size(); ++i)
    if (live[i] == sound) {
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(i));
      if (live.empty()) host().closeAudio();
      return;
    }
}

void resetSound() {
  SoundState &s = state();
  bool audioOpen = !s.live.empty();
  for (DirectSound *sound : s.live) delete sound;
  s = SoundState{};
  if (audioOpen) host().closeAudio();
}

// ---- PrimaryBuffer ----

void PrimaryBuffer::lastReleased() {
  owner_->forgetPrimary();
  delete this;
}

HRESULT PrimaryBuffer::GetStatus(LPDWORD status) {
  if (auto fault = traceCall("IDirectSoundBuffer::GetStatus", label)) return *fault;
  if (!status) return DSERR_INVALIDPARAM;
  *status = playing_ ? DSBSTATUS_PLAYING | DSBSTATUS_LOOPING : 0;
  return DS_OK;
}

HRESULT PrimaryBuffer::Play(DWORD reserved1, DWORD priority, DWORD flags) {
  if (auto fault = traceCall("IDirectSoundBuffer::Play", [&] {
        return format("%s, %u, %u, 0x%X", label.c_str(), static_cast<unsigned>(reserved1),
                      static_cast<unsigned>(priority), static_cast<unsigned>(flags));
      }))
    return *fault;
  // The primary buffer only plays looping; priorities belong to deferred secondary buffers.
  if (reserved1 != 0 || priority != 0 || !(flags & DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
  playing_ = true;
  return DS_OK;
}

HRESULT PrimaryBuffer::Stop() {
  if (auto fault = traceCall("IDirectSoundBuffer::Stop", label)) return *fault;
  playing_ = false;
  return DS_OK;
}

// ---- DirectSound ----

void DirectSound::lastReleased() {
  forget(this);
  delete this;
}

HRESULT DirectSound::SetCooperativeLevel(HWND window, DWORD level) {
  if (auto fault = traceCall("IDirectSound::SetCooperativeLevel", [&] {
        return format("%s, %s, %u", label.c_str(), user::label(window).c_str(), static_cast<unsigned>(level));
      }))
    return *fault;
  if (!window || (window != user::desktopHandle() && !user::isLiveWindow(window))) return DSERR_INVALIDPARAM;
  if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
  level_ = level;
  return DS_OK;
}

HRESULT DirectSound::CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER buffer, IUnknown *outer) {
  if (auto fault = traceCall("IDirectSound::CreateSoundBuffer", [&] {
        return format("%s, flags 0x%X", label.c_str(), desc ? static_cast<unsigned>(desc->dwFlags) : 0u);
      }))
    return *fault;
  if (!desc || !buffer) return DSERR_INVALIDPARAM;
  *buffer = nullptr;
  // The record without its last field (guid3DAlgorithm) is the older form, still accepted.
  if (desc->dwSize != sizeof(DSBUFFERDESC) && desc->dwSize != offsetof(DSBUFFERDESC, guid3DAlgorithm))
    return DSERR_INVALIDPARAM;
  if (outer) return DSERR_NOAGGREGATION;
  if (level_ == 0) return DSERR_PRIOLEVELNEEDED;
  if (!(desc->dwFlags & DSBCAPS_PRIMARYBUFFER)) return DSERR_UNSUPPORTED;
  // The primary buffer's size and format belong to the device.
  if (desc->dwBufferBytes != 0 || desc->lpwfxFormat) return DSERR_INVALIDPARAM;
  if (primary_) {
    ++primary_->references;
    *buffer = primary_;
    return DS_OK;
  }
  primary_ = new PrimaryBuffer(this, state().nextBufferNumber++);
  *buffer = primary_;
  return DS_OK;
}

}  // namespace
}  // namespace layer::dsound

extern "C" HRESULT WINAPI DirectSoundCreate(LPCGUID deviceGuid, LPDIRECTSOUND *directSound, LPUNKNOWN outer) {
  using namespace layer::dsound;
  if (auto fault = layer::traceCall("DirectSoundCreate", [&] { return deviceGuid ? "device" : "NULL"; })) return *fault;
  if (!directSound) return DSERR_INVALIDPARAM;
  *directSound = nullptr;
  if (outer) return DSERR_NOAGGREGATION;
  // Only the default device exists.
  if (deviceGuid) return DSERR_NODRIVER;
  SoundState &s = state();
  if (s.live.empty() && !layer::host().openAudio()) return DSERR_NODRIVER;
  DirectSound *sound = new DirectSound(s.nextNumber++);
  s.live.push_back(sound);
  *directSound = sound;
  return DS_OK;
}
