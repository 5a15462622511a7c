// The default output device through WASAPI in shared mode: event-driven,
// following the default device, its session named for the volume mixer.
#include "main_program/audio/system_audio_win.h"

#include "platform/com_objects_win.h"
#include "platform/library_win.h"

#include <windows.h>

#include <audioclient.h>
#include <audiopolicy.h>
#include <avrt.h>
#include <mmdeviceapi.h>
#include <mmreg.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace audio {

namespace {

// 40 ms of buffer: room for a busy frame of the scene, well inside 100 ms.
constexpr REFERENCE_TIME kBufferDuration = 400000;
// A device whose buffer has not moved for this many waits is given up.
constexpr int kStalledWaits = 10;

enum class SampleKind { Float32, Int16, Int24, Int32In32 };

// Told by the system of device changes, on its own threads: it only sets a
// flag and an event.
class DeviceWatch final : public IMMNotificationClient {
  public:
    explicit DeviceWatch(HANDLE wake) {
        HANDLE copy = nullptr;
        DuplicateHandle(GetCurrentProcess(), wake, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
        wake_.Reset(copy);
    }

    bool TakeDefaultChanged() { return defaultChanged_.exchange(false); }

    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&references_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (id == __uuidof(IUnknown) || id == __uuidof(IMMNotificationClient)) {
            *object = static_cast<IMMNotificationClient*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override {
        if (flow == eRender && role == eConsole) {
            defaultChanged_.store(true);
            Signal();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return Signal(); }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR) override { return Signal(); }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR, DWORD) override { return Signal(); }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }

  private:
    ~DeviceWatch() = default;
    HRESULT Signal() {
        if (wake_) SetEvent(wake_.Get());
        return S_OK;
    }

    LONG references_ = 1;
    platform::ScopedHandle wake_;
    std::atomic<bool> defaultChanged_{false};
};

// The thread's COM, multithreaded, balanced when it succeeded.
class MultithreadedCom {
  public:
    MultithreadedCom() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~MultithreadedCom() {
        if (initialised_) CoUninitialize();
    }
    MultithreadedCom(const MultithreadedCom&) = delete;
    MultithreadedCom& operator=(const MultithreadedCom&) = delete;

  private:
    bool initialised_;
};

class WasapiOutput final : public AudioOutput {
  public:
    explicit WasapiOutput(std::wstring sessionName)
        : sessionName_(std::move(sessionName)), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
          deviceEvent_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~WasapiOutput() override { ThreadEnds(); }
    WasapiOutput(const WasapiOutput&) = delete;
    WasapiOutput& operator=(const WasapiOutput&) = delete;

    void ThreadBegins() override {
        com_ = std::make_unique<MultithreadedCom>();
        // The device must be fed in time while the scene takes the processors:
        // the scheduler favours audio threads (on failure the thread simply
        // runs as it is), and this one above the render loop.
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
        if (avrt_) {
            using Characteristics = decltype(&AvSetMmThreadCharacteristicsW);
            if (const auto set = avrt_.Function<Characteristics>("AvSetMmThreadCharacteristicsW")) {
                DWORD task = 0;
                mmcss_ = set(L"Audio", &task);
            }
        }
        if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_INPROC_SERVER,
                                    __uuidof(IMMDeviceEnumerator), enumerator_.ReceiveVoid())))
            return;
        watch_ = new DeviceWatch(wake_.Get());
        if (FAILED(enumerator_->RegisterEndpointNotificationCallback(watch_))) {
            watch_->Release();
            watch_ = nullptr;
        }
    }

    void ThreadEnds() override {
        Close();
        if (watch_) {
            enumerator_->UnregisterEndpointNotificationCallback(watch_);
            watch_->Release();
            watch_ = nullptr;
        }
        enumerator_.Reset();
        if (mmcss_ && avrt_) {
            using Revert = decltype(&AvRevertMmThreadCharacteristics);
            if (const auto revert = avrt_.Function<Revert>("AvRevertMmThreadCharacteristics")) revert(mmcss_);
            mmcss_ = nullptr;
        }
        com_.reset();
    }

    bool Open() override;

    void Close() override {
        if (client_) client_->Stop();
        render_.Reset();
        client_.Reset();
        lost_ = false;
    }

    bool IsOpen() const override { return static_cast<bool>(client_); }
    int SampleRate() const override { return rate_; }
    double LatencyMs() const override { return latencyMs_; }

    long WaitForFrames(std::chrono::milliseconds timeout) override {
        if (!client_ || lost_) return kDeviceLost;
        const HANDLE handles[] = {deviceEvent_.Get(), wake_.Get()};
        const DWORD waited = WaitForMultipleObjects(2, handles, FALSE, static_cast<DWORD>(timeout.count()));
        if (watch_ && watch_->TakeDefaultChanged()) return kDeviceLost;
        UINT32 padding = 0;
        if (FAILED(client_->GetCurrentPadding(&padding))) return kDeviceLost;
        const long wanted = static_cast<long>(bufferFrames_ - std::min(padding, bufferFrames_));
        if (waited == WAIT_TIMEOUT && wanted == 0) {
            // A driver that stopped taking frames: open the device anew.
            if (++stalledWaits_ >= kStalledWaits) return kDeviceLost;
        } else {
            stalledWaits_ = 0;
        }
        return wanted;
    }

    void Write(const float* stereo, std::size_t frames) override;

    void WaitForChange(std::chrono::milliseconds timeout) override {
        WaitForSingleObject(wake_.Get(), static_cast<DWORD>(timeout.count()));
    }

    void Wake() override { SetEvent(wake_.Get()); }

  private:
    std::wstring sessionName_;
    platform::ScopedHandle wake_;
    platform::ScopedHandle deviceEvent_;
    platform::Library avrt_{L"avrt.dll"};
    HANDLE mmcss_ = nullptr;
    std::unique_ptr<MultithreadedCom> com_;
    platform::ComPtr<IMMDeviceEnumerator> enumerator_;
    DeviceWatch* watch_ = nullptr;
    platform::ComPtr<IAudioClient> client_;
    platform::ComPtr<IAudioRenderClient> render_;
    UINT32 bufferFrames_ = 0;
    int rate_ = 0;
    int channels_ = 0;
    SampleKind kind_ = SampleKind::Float32;
    double latencyMs_ = 0.0;
    bool lost_ = false;
    int stalledWaits_ = 0;
};

// Whether an extensible format's subformat is the one of a plain format
// tag: the tag in the first field of a fixed GUID, as ksmedia.h defines
// KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT (whose data lives in a library
// that is not needed for this).
bool IsSubFormatOf(const GUID& subFormat, WORD tag) {
    static const unsigned char kRest[] = {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    return subFormat.Data1 == tag && subFormat.Data2 == 0x0000 && subFormat.Data3 == 0x0010 &&
           std::memcmp(subFormat.Data4, kRest, sizeof kRest) == 0;
}

// The mix format's samples, when they are one of the kinds written here.
bool KindOf(const WAVEFORMATEX& format, SampleKind& kind) {
    WORD tag = format.wFormatTag;
    WORD valid = format.wBitsPerSample;
    if (tag == WAVE_FORMAT_EXTENSIBLE && format.cbSize >= sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX)) {
        const auto& extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(format);
        if (IsSubFormatOf(extensible.SubFormat, WAVE_FORMAT_IEEE_FLOAT))
            tag = WAVE_FORMAT_IEEE_FLOAT;
        else if (IsSubFormatOf(extensible.SubFormat, WAVE_FORMAT_PCM))
            tag = WAVE_FORMAT_PCM;
        valid = extensible.Samples.wValidBitsPerSample != 0 ? extensible.Samples.wValidBitsPerSample : valid;
    }
    if (tag == WAVE_FORMAT_IEEE_FLOAT && format.wBitsPerSample == 32) {
        kind = SampleKind::Float32;
        return true;
    }
    if (tag != WAVE_FORMAT_PCM) return false;
    switch (format.wBitsPerSample) {
    case 16:
        kind = SampleKind::Int16;
        return true;
    case 24:
        kind = SampleKind::Int24;
        return true;
    case 32:
        kind = SampleKind::Int32In32; // 24 valid bits in a 32-bit container as well
        return valid <= 32;
    default:
        return false;
    }
}

// CoTaskMemFree for the mix format.
struct TaskMemory {
    WAVEFORMATEX* format = nullptr;
    ~TaskMemory() { CoTaskMemFree(format); }
};

bool WasapiOutput::Open() {
    Close();
    if (!enumerator_) return false;
    if (watch_) watch_->TakeDefaultChanged(); // this open takes the current default
    platform::ComPtr<IMMDevice> device;
    if (FAILED(enumerator_->GetDefaultAudioEndpoint(eRender, eConsole, device.Receive()))) return false;
    platform::ComPtr<IAudioClient> client;
    if (FAILED(device->Activate(__uuidof(IAudioClient), CLSCTX_INPROC_SERVER, nullptr, client.ReceiveVoid())))
        return false;
    TaskMemory mix;
    if (FAILED(client->GetMixFormat(&mix.format)) || !mix.format) return false;
    SampleKind kind;
    if (!KindOf(*mix.format, kind) || mix.format->nChannels == 0 || mix.format->nSamplesPerSec == 0) return false;
    if (FAILED(client->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK, kBufferDuration, 0,
                                  mix.format, nullptr)))
        return false;
    UINT32 frames = 0;
    platform::ComPtr<IAudioRenderClient> render;
    if (FAILED(client->SetEventHandle(deviceEvent_.Get())) || FAILED(client->GetBufferSize(&frames)) || frames == 0 ||
        FAILED(client->GetService(__uuidof(IAudioRenderClient), render.ReceiveVoid())))
        return false;

    // The name in the volume mixer; a session that refuses it plays anyway.
    platform::ComPtr<IAudioSessionControl> session;
    if (SUCCEEDED(client->GetService(__uuidof(IAudioSessionControl), session.ReceiveVoid())))
        session->SetDisplayName(sessionName_.c_str(), nullptr);

    // Silence first, so that the stream starts without a glitch.
    BYTE* data = nullptr;
    if (SUCCEEDED(render->GetBuffer(frames, &data))) render->ReleaseBuffer(frames, AUDCLNT_BUFFERFLAGS_SILENT);
    REFERENCE_TIME latency = 0;
    client->GetStreamLatency(&latency);
    if (FAILED(client->Start())) return false;

    client_ = std::move(client);
    render_ = std::move(render);
    bufferFrames_ = frames;
    rate_ = static_cast<int>(mix.format->nSamplesPerSec);
    channels_ = mix.format->nChannels;
    kind_ = kind;
    latencyMs_ = static_cast<double>(latency) / 10000.0 + 1000.0 * frames / rate_;
    stalledWaits_ = 0;
    return true;
}

void WasapiOutput::Write(const float* stereo, std::size_t frames) {
    BYTE* data = nullptr;
    if (!render_ || FAILED(render_->GetBuffer(static_cast<UINT32>(frames), &data))) {
        lost_ = true;
        return;
    }
    const auto channels = static_cast<std::size_t>(channels_);
    for (std::size_t i = 0; i < frames; ++i) {
        const float left = stereo[2 * i];
        const float right = stereo[2 * i + 1];
        for (std::size_t c = 0; c < channels; ++c) {
            // Mono takes both sides; channels beyond the front pair stay silent.
            const float value = channels == 1 ? 0.5f * (left + right) : c == 0 ? left : c == 1 ? right : 0.0f;
            const std::size_t at = i * channels + c;
            switch (kind_) {
            case SampleKind::Float32:
                std::memcpy(data + 4 * at, &value, 4);
                break;
            case SampleKind::Int16: {
                const auto sample = static_cast<std::int16_t>(std::lround(std::clamp(value, -1.0f, 1.0f) * 32767.0f));
                std::memcpy(data + 2 * at, &sample, 2);
                break;
            }
            case SampleKind::Int24: {
                const auto sample = static_cast<std::int32_t>(std::lround(std::clamp(value, -1.0f, 1.0f) * 8388607.0f));
                data[3 * at] = static_cast<BYTE>(sample & 0xFF);
                data[3 * at + 1] = static_cast<BYTE>((sample >> 8) & 0xFF);
                data[3 * at + 2] = static_cast<BYTE>((sample >> 16) & 0xFF);
                break;
            }
            case SampleKind::Int32In32: {
                const auto sample = static_cast<std::int32_t>(
                    std::lround(static_cast<double>(std::clamp(value, -1.0f, 1.0f)) * 2147483647.0));
                std::memcpy(data + 4 * at, &sample, 4);
                break;
            }
            }
        }
    }
    if (FAILED(render_->ReleaseBuffer(static_cast<UINT32>(frames), 0))) lost_ = true;
}

} // namespace

std::unique_ptr<AudioOutput> CreateWasapiOutput(const std::wstring& sessionName) {
    return std::make_unique<WasapiOutput>(sessionName);
}

} // namespace audio
