// The thread that generates the scene's textures while the scene already
// runs: it waits for the first frame, then makes what was asked for, most
// visible first, and hands each texture over as it is done.
#pragma once

#include "main_program/scene/textures.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace scene {

class DetailWorker {
  public:
    explicit DetailWorker(std::uint32_t seed);
    // Stops the generation under way at its next row, and waits for the thread.
    ~DetailWorker();
    DetailWorker(const DetailWorker&) = delete;
    DetailWorker& operator=(const DetailWorker&) = delete;

    // Lets the generation begin.
    void Start();
    // Asks for `kind` at `size` pixels, unless it is made or asked for at that size or larger.
    void Request(TextureKind kind, int size);

    using Finished = std::pair<TextureKind, std::shared_ptr<const MipChain>>;
    std::vector<Finished> TakeFinished();
    // Whether everything asked for so far has been handed over.
    bool Idle();

  private:
    void Run();

    std::uint32_t seed_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool started_ = false;
    std::atomic<bool> stopping_{false};
    bool busy_ = false;
    std::array<int, kTextureKinds> wanted_{}, made_{};
    std::vector<Finished> finished_;
    std::thread thread_;
};

} // namespace scene
