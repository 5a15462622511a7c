// Publishing the program's state into the test seam's shared memory.
#pragma once

#include "main_program/app/test_state.h"
#include "main_program/audio/audio_engine.h"

#include <windows.h>

namespace main_program {

class TestStatePublisher {
  public:
    // Opens the block named by SORVANE_TEST_STATE; without it nothing is published.
    TestStatePublisher();
    ~TestStatePublisher();
    TestStatePublisher(const TestStatePublisher&) = delete;
    TestStatePublisher& operator=(const TestStatePublisher&) = delete;

    // A write: the state to change between construction and destruction, or
    // null when there is no block.
    class Write {
      public:
        explicit Write(TestStatePublisher& publisher);
        ~Write();
        Write(const Write&) = delete;
        Write& operator=(const Write&) = delete;
        TestState* operator->() const { return state_; }
        explicit operator bool() const { return state_ != nullptr; }

      private:
        TestState* state_;
    };

  private:
    HANDLE mapping_ = nullptr;
    TestState* state_ = nullptr;
};

// The audio's status into the test state, when there is a block.
void PublishAudio(TestStatePublisher& publisher, const audio::AudioEngine& engine);

} // namespace main_program
