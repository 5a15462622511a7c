// The test seam's shared memory.
#include "main_program/app/test_state_win.h"

#include <cstring>

namespace main_program {

TestStatePublisher::TestStatePublisher() {
    wchar_t name[128];
    const DWORD length = GetEnvironmentVariableW(L"SORVANE_TEST_STATE", name, 128);
    if (length == 0 || length >= 128) return;
    mapping_ = OpenFileMappingW(FILE_MAP_WRITE | FILE_MAP_READ, FALSE, name);
    if (!mapping_) return;
    state_ = static_cast<TestState*>(MapViewOfFile(mapping_, FILE_MAP_WRITE | FILE_MAP_READ, 0, 0, sizeof(TestState)));
    if (!state_) return;
    std::memset(state_, 0, sizeof(TestState));
    state_->magic = kTestStateMagic;
    state_->size = sizeof(TestState);
    state_->processId = GetCurrentProcessId();
}

TestStatePublisher::~TestStatePublisher() {
    if (state_) UnmapViewOfFile(state_);
    if (mapping_) CloseHandle(mapping_);
}

TestStatePublisher::Write::Write(TestStatePublisher& publisher) : state_(publisher.state_) {
    if (state_) InterlockedIncrement(reinterpret_cast<volatile LONG*>(&state_->sequence));
}

TestStatePublisher::Write::~Write() {
    if (state_) InterlockedIncrement(reinterpret_cast<volatile LONG*>(&state_->sequence));
}

void PublishAudio(TestStatePublisher& publisher, const audio::AudioEngine& engine) {
    TestStatePublisher::Write write(publisher);
    if (!write) return;
    const audio::AudioStatus status = engine.Status();
    write->audioStarted = 1;
    write->audioDevice = status.deviceOpen ? 1 : 0;
    write->audioMusic = static_cast<std::uint32_t>(status.music);
    write->audioSampleRate = static_cast<std::uint32_t>(status.sampleRate);
    write->audioFramesPlayed = status.framesPlayed;
    write->audioEntriesStarted = status.entriesStarted;
    write->audioEntriesSkipped = status.entriesSkipped;
    write->audioEffects = status.effectsStarted;
    write->audioMusicGain = status.musicGain;
    write->audioSoundsGain = status.soundsGain;
}

} // namespace main_program
