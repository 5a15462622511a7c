// The texture generation thread.
#include "main_program/scene/detail_worker.h"

namespace scene {

namespace {
// Most visible first: the ground covers most of the picture.
constexpr TextureKind kOrder[] = {TextureKind::Ground, TextureKind::Glow,  TextureKind::Water,
                                  TextureKind::Clouds, TextureKind::Moon, TextureKind::Ring};
} // namespace

DetailWorker::DetailWorker(std::uint32_t seed) : seed_(seed) {
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (...) {
        // No thread to be had: the scene stays as simple as its first frame.
    }
}

DetailWorker::~DetailWorker() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void DetailWorker::Start() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (started_) return;
        started_ = true;
    }
    wake_.notify_all();
}

void DetailWorker::Request(TextureKind kind, int size) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        int& wanted = wanted_[static_cast<std::size_t>(kind)];
        if (size <= wanted) return;
        wanted = size;
    }
    wake_.notify_all();
}

std::vector<DetailWorker::Finished> DetailWorker::TakeFinished() {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Finished> taken;
    taken.swap(finished_);
    return taken;
}

bool DetailWorker::Idle() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (busy_ || !finished_.empty()) return false;
    for (std::size_t i = 0; i < wanted_.size(); ++i)
        if (wanted_[i] > made_[i]) return false;
    return true;
}

void DetailWorker::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        TextureKind next = TextureKind::Count;
        wake_.wait(lock, [&] {
            if (stopping_) return true;
            if (!started_) return false;
            for (TextureKind kind : kOrder)
                if (wanted_[static_cast<std::size_t>(kind)] > made_[static_cast<std::size_t>(kind)]) {
                    next = kind;
                    return true;
                }
            return false;
        });
        if (stopping_) return;
        const int size = wanted_[static_cast<std::size_t>(next)];
        busy_ = true;
        lock.unlock();
        auto chain = std::make_shared<MipChain>(GenerateTexture(next, size, seed_, stopping_));
        lock.lock();
        busy_ = false;
        if (stopping_ || chain->Empty()) return;
        made_[static_cast<std::size_t>(next)] = size;
        finished_.emplace_back(next, std::move(chain));
    }
}

} // namespace scene
