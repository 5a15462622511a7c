// The ring of stereo frames between the loader and the output.
#include "main_program/audio/frame_ring.h"

#include <algorithm>
#include <cstring>

namespace audio {

FrameRing::FrameRing(std::size_t capacityFrames) : capacity_(capacityFrames), samples_(2 * capacityFrames) {}

std::uint64_t FrameRing::ReadPosition() const {
    return std::max(read_.load(std::memory_order_acquire), dropUntil_.load(std::memory_order_acquire));
}

// Dropped frames take room until the reader has passed them: it may be
// copying them right now.
std::size_t FrameRing::Space() const {
    const std::uint64_t used = written_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire);
    return used >= capacity_ ? 0 : capacity_ - static_cast<std::size_t>(used);
}

std::size_t FrameRing::Write(const float* stereo, std::size_t frames) {
    const std::uint64_t start = written_.load(std::memory_order_relaxed);
    const std::size_t count = std::min(frames, Space());
    for (std::size_t done = 0; done < count;) {
        const std::size_t at = static_cast<std::size_t>((start + done) % capacity_);
        const std::size_t run = std::min(count - done, capacity_ - at);
        std::memcpy(&samples_[2 * at], stereo + 2 * done, run * 2 * sizeof(float));
        done += run;
    }
    written_.store(start + count, std::memory_order_release);
    return count;
}

void FrameRing::DropWritten() { dropUntil_.store(written_.load(std::memory_order_relaxed), std::memory_order_release); }

std::size_t FrameRing::Available() const {
    const std::uint64_t written = written_.load(std::memory_order_acquire);
    const std::uint64_t read = ReadPosition();
    return written > read ? static_cast<std::size_t>(written - read) : 0;
}

std::size_t FrameRing::Read(float* stereo, std::size_t frames) {
    const std::uint64_t written = written_.load(std::memory_order_acquire);
    const std::uint64_t start = ReadPosition();
    const std::size_t count = written > start ? static_cast<std::size_t>(std::min<std::uint64_t>(frames, written - start)) : 0;
    for (std::size_t done = 0; done < count;) {
        const std::size_t at = static_cast<std::size_t>((start + done) % capacity_);
        const std::size_t run = std::min(count - done, capacity_ - at);
        std::memcpy(stereo + 2 * done, &samples_[2 * at], run * 2 * sizeof(float));
        done += run;
    }
    read_.store(start + count, std::memory_order_release);
    return count;
}

} // namespace audio
