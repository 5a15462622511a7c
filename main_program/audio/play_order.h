// The order in which the playlist's files play: as listed, or shuffled round
// by round, and the entry a run starts with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace audio {

class PlayOrder {
  public:
    // `startWith` (the remembered next entry) plays first when the list holds
    // it; otherwise the list's order starts at its first entry, and a
    // shuffled one anywhere.
    PlayOrder(std::vector<std::wstring> entries, bool shuffle, std::uint64_t seed, const std::wstring& startWith);

    bool Empty() const { return entries_.empty(); }
    std::size_t Size() const { return entries_.size(); }
    const std::wstring& Entry(std::size_t index) const { return entries_[index]; }

    // The entry to play now (an index into the list), and the order moves on.
    // Shuffled, each round plays every entry once in a new random order, and
    // with two or more distinct files a round never starts with the file
    // that ended the one before. The list must not be empty.
    std::size_t Next();
    // What Next will give, without moving on.
    std::size_t Peek();

  private:
    void NewRound();

    std::vector<std::wstring> entries_;
    std::vector<std::size_t> fileOf_; // entries naming the same file share a number
    std::size_t distinctFiles_ = 0;
    bool shuffle_;
    std::mt19937_64 random_;
    std::vector<std::size_t> round_;
    std::size_t position_ = 0;
    std::size_t last_ = static_cast<std::size_t>(-1);
};

} // namespace audio
