// The music sources of the machine: its files, its Windows version, Media
// Foundation, our decoders and the MIDI synthesiser.
#include "main_program/audio/media_foundation_decoder_win.h"
#include "main_program/audio/open_file_win.h"
#include "main_program/audio/remembered_entry.h"
#include "main_program/audio/system_audio_win.h"

#include "platform/library_win.h"

#include <windows.h>

#include <optional>
#include <vector>

namespace audio {

namespace {

class SystemFiles final : public AudioFiles {
  public:
    bool Read(const std::wstring& path, std::size_t limit, std::string& bytes) override {
        ReadFileHandle file(path);
        if (!file) return false;
        bytes.clear();
        std::vector<char> chunk(65536);
        while (bytes.size() < limit) {
            const std::size_t got = file.Read(chunk.data(), std::min(chunk.size(), limit - bytes.size()));
            if (got == 0) break;
            bytes.append(chunk.data(), got);
        }
        return true;
    }

    std::wstring AnsiToWide(const std::string& bytes) override {
        if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return {};
        const int size = static_cast<int>(bytes.size());
        const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
        if (length <= 0) return {};
        std::wstring text(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, text.data(), length);
        return text;
    }
};

// The version the system itself reports (RtlGetVersion, which no
// compatibility shim bends), or the test seam's.
WindowsVersion RunningWindows() {
    wchar_t seam[16] = {};
    WindowsVersion version;
    const DWORD length = GetEnvironmentVariableW(L"SORVANE_TEST_WINDOWS_VERSION", seam, 16);
    if (length > 0 && length < 16 && ParseWindowsVersion(seam, version)) return version;
    using GetVersion = platform::WinApiFunction<LONG, OSVERSIONINFOW*>;
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto get = ntdll ? reinterpret_cast<GetVersion>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                           : nullptr;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (get && get(&info) == 0) return {info.dwMajorVersion, info.dwMinorVersion};
    return {6, 1};
}

class SystemSources final : public MusicSources {
  public:
    SystemSources() : windows_(RunningWindows()) {}

    void ThreadBegins() override {
        comStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    }
    void ThreadEnds() override {
        mediaFoundation_.reset();
        if (comStarted_) CoUninitialize();
        comStarted_ = false;
    }

    OpenResult OpenDecoder(DecoderKind kind, const std::wstring& path, std::unique_ptr<Decoder>& decoder) override {
        switch (kind) {
        case DecoderKind::MediaFoundation:
            // Started when first needed, on the loader's thread.
            if (!mediaFoundation_) mediaFoundation_.emplace();
            return mediaFoundation_->Open(path, decoder);
        case DecoderKind::Vorbis:
            return OpenVorbisDecoder(path, decoder);
        case DecoderKind::Flac:
            return OpenFlacDecoder(path, decoder);
        case DecoderKind::Midi:
            break;
        }
        return OpenResult::Unavailable;
    }
    std::unique_ptr<MidiPort> OpenMidiPort() override { return OpenSystemMidiPort(); }
    AudioFiles& Files() override { return files_; }
    WindowsVersion Windows() override { return windows_; }
    std::wstring RememberedEntry() override { return ReadRememberedEntry(); }
    void Remember(const std::wstring& path) override { RememberEntry(path); }

  private:
    SystemFiles files_;
    WindowsVersion windows_;
    bool comStarted_ = false;
    std::optional<MediaFoundation> mediaFoundation_;
};

} // namespace

std::unique_ptr<MusicSources> CreateSystemMusicSources() { return std::make_unique<SystemSources>(); }

} // namespace audio
