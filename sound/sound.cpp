// The sound device, the sound lock and the service thread that refills the streams while they play.
#include "sound/sound.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "lib/wstring.h"
#include "platform/msgbox.h"
#include "platform/thread.h"
#include "sound/stream.h"
#include "sound/wave.h"

int32_t g_StreamBlockCount = 4;

namespace {

struct SoundThreadBlock {
  platform::RecursiveLock lock;
  std::atomic<uint32_t> quit{0};
  std::atomic<uint32_t> exited{0};
  int32_t priority = 1;  // 1 above normal, 2 highest
  // Wakes the thread early: quit is set, or a command gave it work (pending).
  std::mutex wakeMutex;
  std::condition_variable wake;
  bool pending = false;  // guarded by wakeMutex
  std::atomic<uint64_t> passes{0};
};

SoundThreadBlock g_SoundLock;
std::shared_ptr<platform::AudioDevice> g_Device;
std::atomic<uint32_t> g_SoundAvailable{0};
platform::Thread g_SoundThread;

void DeviceBox(const char16_t* format, int32_t result) {
  platform::ShowMessageBox(FormatWide(format, static_cast<unsigned>(result)), u"DirectSound");
}

void ThreadProc(SoundThreadBlock* block) {
  // The priority itself was asked for when the thread was started (a best-effort hint).
  while (!block->quit.load()) {
    std::optional<std::chrono::milliseconds> delay;
    {
      platform::LockGuard guard(block->lock);
      Sound::ServiceStatic();
      Sound::ServiceStreams();
      delay = Sound::NextServiceDelay();
    }
    block->passes.fetch_add(1);
    // With nothing playing the thread sleeps until a command wakes it.
    std::unique_lock<std::mutex> wait(block->wakeMutex);
    const auto woken = [block] { return block->quit.load() != 0 || block->pending; };
    if (delay)
      block->wake.wait_for(wait, *delay, woken);
    else
      block->wake.wait(wait, woken);
    block->pending = false;
  }
  block->exited.store(1);
}

void RequestQuit() {
  {
    std::lock_guard<std::mutex> wake(g_SoundLock.wakeMutex);
    g_SoundLock.quit.store(1);
  }
  g_SoundLock.wake.notify_all();
}

// A process that ends without Finalize (an error that ends the program during start-up)
// stops the thread here, before the globals it services are destroyed; otherwise the exit
// would wait on a thread that was never told to quit.
void StopThreadAtExit() {
  if (!g_SoundThread.Joinable()) return;
  RequestQuit();
  g_SoundThread.Join();
}

}  // namespace

namespace Sound {

void WakeService() {
  {
    std::lock_guard<std::mutex> wake(g_SoundLock.wakeMutex);
    g_SoundLock.pending = true;
  }
  g_SoundLock.wake.notify_all();
}

uint64_t ServicePasses() {
  return g_SoundLock.passes.load();
}

platform::AudioDevice* Device() {
  return g_SoundAvailable.load() ? g_Device.get() : nullptr;
}

uint32_t SampleRateForSetting(int32_t soundFreq) {
  switch (soundFreq) {
    case 1:
      return 22050;
    case 2:
      return 11025;
    default:
      return 44100;
  }
}

HRESULT Initialize(const platform::AudioDeviceFactory& openDevice, const SoundConfig* config) {
  std::shared_ptr<platform::AudioDevice> device;
  if (config && config->enable && openDevice) device = openDevice(config->sampleRate);
  return Initialize(std::move(device), config);
}

HRESULT Initialize(std::shared_ptr<platform::AudioDevice> device, const SoundConfig* config) {
  ResetChannels();
  FreeStaticSlots();
  SetStreamIdCounter(0);
  g_SoundLock.quit.store(0);
  g_SoundLock.exited.store(0);
  g_SoundLock.pending = false;
  g_SoundLock.priority = (config && config->highPriority) ? 2 : 1;
  g_SoundAvailable.store(0);
  g_Device.reset();

  if (!config || !config->enable || !device) return S_OK;  // no device: sound stays off, silently

  platform::AudioFormat output;
  output.channels = config->channels;
  output.sampleRate = config->sampleRate;
  output.bitsPerSample = config->bitsPerSample;
  const int32_t result = device->SetOutputFormat(output);
  if (result != platform::kAudioOk) {
    DeviceBox(u"SetPrimaryFormat(%x)", result);
    return result;
  }

  g_Device = std::move(device);
  g_SoundAvailable.store(1);
  g_Device->Start();

  // Registered after every global of the layer is built, so it runs before they are destroyed.
  static const bool stopAtExit = std::atexit(&StopThreadAtExit) == 0;
  (void)stopAtExit;
  const auto priority =
      g_SoundLock.priority == 2 ? platform::ThreadPriority::Highest : platform::ThreadPriority::AboveNormal;
  if (!g_SoundThread.Start([] { ThreadProc(&g_SoundLock); }, priority)) {
    // Without the thread nothing would be refilled; run without sound instead.
    g_SoundAvailable.store(0);
    g_Device.reset();
  }
  return S_OK;
}

void Finalize() {
  if (!g_SoundAvailable.load()) return;
  RequestQuit();
  g_SoundThread.Join();

  platform::LockGuard guard(g_SoundLock.lock);
  FreeStaticSlots();
  g_Device->StopOutput();
  g_SoundAvailable.store(0);
  // Channels the application left running go with the device.
  ResetChannels();
  g_Device.reset();
}

void Lock() {
  g_SoundLock.lock.Lock();
}
void Unlock() {
  g_SoundLock.lock.Unlock();
}
uint32_t IsAvailable() {
  return g_SoundAvailable.load();
}

void SetMasterVolume(int32_t centibels) {
  platform::LockGuard guard(g_SoundLock.lock);
  if (platform::AudioDevice* device = Device()) device->SetMasterVolume(centibels);
}

int32_t VolumeToDecibels(int32_t volume) {
  if (volume <= 0) return -10000;
  if (volume >= 255) return 0;
  return static_cast<int32_t>(std::trunc(1000.0 * std::log10(volume / 255.0)));
}

}  // namespace Sound
