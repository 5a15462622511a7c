// The audio's Windows side: the default output device through WASAPI, and
// the music sources (Media Foundation, our Vorbis and FLAC decoders, the
// MIDI synthesiser, the machine's files).
#pragma once

#include "main_program/audio/audio_output.h"
#include "main_program/audio/decoder.h"

#include <memory>
#include <string>

namespace audio {

// The default render device in shared mode, following changes of the
// default; the volume mixer shows its session as `sessionName`.
std::unique_ptr<AudioOutput> CreateWasapiOutput(const std::wstring& sessionName);

std::unique_ptr<MusicSources> CreateSystemMusicSources();

// The decoders, each loading its libraries by name. Media Foundation needs
// the thread's COM (multithreaded) and MFStartup, which the sources do.
OpenResult OpenVorbisDecoder(const std::wstring& path, std::unique_ptr<Decoder>& decoder);
OpenResult OpenFlacDecoder(const std::wstring& path, std::unique_ptr<Decoder>& decoder);
// Null when the system has no MIDI output (or no winmm).
std::unique_ptr<MidiPort> OpenSystemMidiPort();

} // namespace audio
