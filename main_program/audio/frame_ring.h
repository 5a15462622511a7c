// Decoded music on its way from the loader's thread to the output's: a ring
// of stereo frames with one writer and one reader, neither of which waits.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace audio {

class FrameRing {
  public:
    explicit FrameRing(std::size_t capacityFrames);

    // The writer's side.
    std::size_t Space() const;
    // Writes as many of `frames` stereo frames as there is room for; returns how many.
    std::size_t Write(const float* stereo, std::size_t frames);
    // Everything written so far is dropped before the reader sees it (a new
    // list or a new position): the reader skips it at its next read.
    void DropWritten();

    // The reader's side.
    std::size_t Available() const;
    // Reads up to `frames` frames; returns how many.
    std::size_t Read(float* stereo, std::size_t frames);

    std::size_t Capacity() const { return capacity_; }

  private:
    std::uint64_t ReadPosition() const;

    std::size_t capacity_;
    std::vector<float> samples_;
    std::atomic<std::uint64_t> written_{0};
    std::atomic<std::uint64_t> read_{0};
    std::atomic<std::uint64_t> dropUntil_{0};
};

} // namespace audio
