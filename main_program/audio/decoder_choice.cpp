// The table of decoders by extension and Windows version.
#include "main_program/audio/decoder_choice.h"

#include <algorithm>

namespace audio {

namespace {

std::wstring LowerExtension(const std::wstring& path) {
    const std::size_t dot = path.find_last_of(L".\\/");
    if (dot == std::wstring::npos || path[dot] != L'.') return {};
    std::wstring extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; });
    return extension;
}

bool IsWindows10OrLater(WindowsVersion windows) { return windows.major >= 10; }

} // namespace

std::vector<DecoderKind> DecodersFor(const std::wstring& path, WindowsVersion windows) {
    const std::wstring extension = LowerExtension(path);
    if (extension == L"ogg" || extension == L"oga") return {DecoderKind::Vorbis};
    if (extension == L"mid" || extension == L"midi" || extension == L"rmi") return {DecoderKind::Midi};
    // Media Foundation decodes FLAC from Windows 10 on; ours stands in where
    // an N edition lacks Media Foundation.
    if (extension == L"flac")
        return IsWindows10OrLater(windows) ? std::vector<DecoderKind>{DecoderKind::MediaFoundation, DecoderKind::Flac}
                                           : std::vector<DecoderKind>{DecoderKind::Flac};
    return {DecoderKind::MediaFoundation};
}

bool ParseWindowsVersion(const std::wstring& text, WindowsVersion& version) {
    const std::size_t dot = text.find(L'.');
    if (dot == std::wstring::npos || dot == 0 || dot + 1 == text.size() || dot > 3 || text.size() - dot > 4)
        return false;
    const auto digits = [](const std::wstring& part) {
        return std::all_of(part.begin(), part.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    };
    const std::wstring major = text.substr(0, dot);
    const std::wstring minor = text.substr(dot + 1);
    if (!digits(major) || !digits(minor)) return false;
    version.major = static_cast<unsigned>(std::stoul(major));
    version.minor = static_cast<unsigned>(std::stoul(minor));
    return true;
}

} // namespace audio
