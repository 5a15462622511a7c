// The system's MIDI synthesiser through midiOut, loaded by name from winmm.
#include "main_program/audio/system_audio_win.h"

#include "platform/library_win.h"

#include <windows.h>

#include <mmsystem.h>

namespace audio {

namespace {

class SystemMidiPort final : public MidiPort {
  public:
    SystemMidiPort() {
        if (!winmm_) return;
        const auto count = winmm_.Function<decltype(&midiOutGetNumDevs)>("midiOutGetNumDevs");
        const auto open = winmm_.Function<decltype(&midiOutOpen)>("midiOutOpen");
        if (!count || !open || count() == 0) return;
        send_ = winmm_.Function<decltype(&midiOutShortMsg)>("midiOutShortMsg");
        if (!send_) return;
        reset_ = winmm_.Function<decltype(&midiOutReset)>("midiOutReset");
        if (!reset_) return;
        close_ = winmm_.Function<decltype(&midiOutClose)>("midiOutClose");
        if (!close_) return;
        beginPeriod_ = winmm_.Function<decltype(&timeBeginPeriod)>("timeBeginPeriod");
        endPeriod_ = winmm_.Function<decltype(&timeEndPeriod)>("timeEndPeriod");
        if (open(&port_, MIDI_MAPPER, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
            port_ = nullptr;
            return;
        }
        // The song's timing wants the system's finer timer while it plays.
        if (beginPeriod_ && beginPeriod_(kTimerPeriod) == TIMERR_NOERROR) periodSet_ = true;
    }
    ~SystemMidiPort() override {
        if (port_) {
            reset_(port_);
            close_(port_);
        }
        if (periodSet_ && endPeriod_) endPeriod_(kTimerPeriod);
    }
    SystemMidiPort(const SystemMidiPort&) = delete;
    SystemMidiPort& operator=(const SystemMidiPort&) = delete;

    bool IsOpen() const { return port_ != nullptr; }
    void Send(std::uint32_t message) override { send_(port_, message); }

  private:
    static constexpr UINT kTimerPeriod = 2;

    platform::Library winmm_{L"winmm.dll"};
    HMIDIOUT port_ = nullptr;
    decltype(&midiOutShortMsg) send_ = nullptr;
    decltype(&midiOutReset) reset_ = nullptr;
    decltype(&midiOutClose) close_ = nullptr;
    decltype(&timeBeginPeriod) beginPeriod_ = nullptr;
    decltype(&timeEndPeriod) endPeriod_ = nullptr;
    bool periodSet_ = false;
};

} // namespace

std::unique_ptr<MidiPort> OpenSystemMidiPort() {
    auto port = std::make_unique<SystemMidiPort>();
    if (!port->IsOpen()) return nullptr;
    return port;
}

} // namespace audio
