// The playing order of the playlist's files.
#include "main_program/audio/play_order.h"

#include "main_program/audio/playlist_reader.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <utility>

namespace audio {

PlayOrder::PlayOrder(std::vector<std::wstring> entries, bool shuffle, std::uint64_t seed,
                     const std::wstring& startWith)
    : entries_(std::move(entries)), shuffle_(shuffle), random_(seed) {
    std::map<std::wstring, std::size_t> files;
    fileOf_.reserve(entries_.size());
    for (const auto& entry : entries_)
        fileOf_.push_back(files.emplace(ComparablePath(entry), files.size()).first->second);
    distinctFiles_ = files.size();

    const auto start = std::find(entries_.begin(), entries_.end(), startWith);
    const std::size_t first = static_cast<std::size_t>(start - entries_.begin());
    round_.resize(entries_.size());
    std::iota(round_.begin(), round_.end(), std::size_t{0});
    if (!shuffle_) {
        if (start != entries_.end()) position_ = first;
        return;
    }
    if (start == entries_.end()) {
        NewRound();
        return;
    }
    // The remembered entry first, the others after it in a random order.
    std::swap(round_[0], round_[first]);
    std::shuffle(round_.begin() + 1, round_.end(), random_);
}

void PlayOrder::NewRound() {
    std::iota(round_.begin(), round_.end(), std::size_t{0});
    if (shuffle_) {
        std::shuffle(round_.begin(), round_.end(), random_);
        if (distinctFiles_ >= 2 && last_ < entries_.size() && fileOf_[round_[0]] == fileOf_[last_]) {
            const auto other = std::find_if(round_.begin() + 1, round_.end(),
                                            [&](std::size_t entry) { return fileOf_[entry] != fileOf_[last_]; });
            std::iter_swap(round_.begin(), other);
        }
    }
    position_ = 0;
}

std::size_t PlayOrder::Peek() {
    if (position_ == round_.size()) NewRound();
    return round_[position_];
}

std::size_t PlayOrder::Next() {
    last_ = Peek();
    ++position_;
    return last_;
}

} // namespace audio
