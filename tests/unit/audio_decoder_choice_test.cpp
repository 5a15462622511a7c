// The decoder of a file by its extension and the Windows version.
#include "main_program/audio/decoder_choice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using audio::DecoderKind;
using Kinds = std::vector<DecoderKind>;

TEST(AudioDecoderChoice, ByExtensionAndWindowsVersion) {
    const audio::WindowsVersion seven{6, 1};
    const audio::WindowsVersion eightOne{6, 3};
    const audio::WindowsVersion ten{10, 0};
    const Kinds mediaFoundation{DecoderKind::MediaFoundation};
    struct Case {
        const wchar_t* path;
        audio::WindowsVersion windows;
        Kinds kinds;
    };
    const Case cases[] = {
        {L"C:\\a.mp3", seven, mediaFoundation},
        {L"C:\\a.MP3", ten, mediaFoundation},
        {L"C:\\a.wma", seven, mediaFoundation},
        {L"C:\\a.aac", seven, mediaFoundation},
        {L"C:\\a.m4a", ten, mediaFoundation},
        {L"C:\\a.wav", seven, mediaFoundation},
        {L"C:\\a.ogg", seven, {DecoderKind::Vorbis}},
        {L"C:\\a.OGG", ten, {DecoderKind::Vorbis}},
        {L"C:\\a.oga", ten, {DecoderKind::Vorbis}},
        {L"C:\\a.flac", seven, {DecoderKind::Flac}},
        {L"C:\\a.flac", eightOne, {DecoderKind::Flac}},
        {L"C:\\a.Flac", ten, {DecoderKind::MediaFoundation, DecoderKind::Flac}},
        {L"C:\\a.flac", {11, 0}, {DecoderKind::MediaFoundation, DecoderKind::Flac}},
        {L"C:\\a.mid", seven, {DecoderKind::Midi}},
        {L"C:\\a.MIDI", ten, {DecoderKind::Midi}},
        {L"C:\\a.rmi", ten, {DecoderKind::Midi}},
        {L"C:\\a.flac.mp3", ten, mediaFoundation},
        {L"C:\\folder.ogg\\song", ten, mediaFoundation},
        {L"C:\\song", ten, mediaFoundation},
    };
    for (const auto& c : cases)
        EXPECT_EQ(audio::DecodersFor(c.path, c.windows), c.kinds)
            << std::string(c.path, c.path + std::wcslen(c.path)) << " on " << c.windows.major << "." << c.windows.minor;
}

TEST(AudioDecoderChoice, WindowsVersionTexts) {
    audio::WindowsVersion version;
    ASSERT_TRUE(audio::ParseWindowsVersion(L"6.1", version));
    EXPECT_EQ(version.major, 6u);
    EXPECT_EQ(version.minor, 1u);
    ASSERT_TRUE(audio::ParseWindowsVersion(L"10.0", version));
    EXPECT_EQ(version.major, 10u);
    for (const wchar_t* bad : {L"", L"7", L"6.", L".1", L"6.1.7601", L"a.b", L"6,1", L"99999.1"})
        EXPECT_FALSE(audio::ParseWindowsVersion(bad, version)) << std::wstring(bad).size();
}

} // namespace
