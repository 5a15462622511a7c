// The output device as the engine's output thread drives it: the system's
// default device (WASAPI on Windows), or a stand-in in tests.
#pragma once

#include <chrono>
#include <cstddef>

namespace audio {

class AudioOutput {
  public:
    virtual ~AudioOutput() = default;

    // On the output thread, before its first call and after its last (COM).
    virtual void ThreadBegins() {}
    virtual void ThreadEnds() {}

    // Opens the default device; false when there is none or it fails.
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual int SampleRate() const = 0;
    // From handing a frame over to hearing it, while open.
    virtual double LatencyMs() const = 0;

    // Open: waits until the device wants frames, Wake is called, or
    // `timeout` passes. The number of frames wanted now (0 for none), or
    // kDeviceLost when the device is gone or the default device changed.
    static constexpr long kDeviceLost = -1;
    virtual long WaitForFrames(std::chrono::milliseconds timeout) = 0;
    // Hands over stereo frames; never more than WaitForFrames asked for.
    virtual void Write(const float* stereo, std::size_t frames) = 0;

    // Closed: waits until Wake, a change of devices, or `timeout`.
    virtual void WaitForChange(std::chrono::milliseconds timeout) = 0;
    // From any thread: ends a wait at once.
    virtual void Wake() = 0;
};

} // namespace audio
