// Turns a burst of changes (the settings dialog's OK writes every setting, one
// value after the other) into one reaction once the burst is over.
#pragma once

#include <cstdint>

namespace desktop {

class ChangeDebounce {
  public:
    // Due `quietMs` after the last change, and at the latest `longestMs` after
    // the first change of a burst that does not stop.
    ChangeDebounce(std::uint32_t quietMs, std::uint32_t longestMs) : quiet_(quietMs), longest_(longestMs) {}

    void Changed(std::uint64_t nowMs);
    // True once per burst, when it is due.
    bool Due(std::uint64_t nowMs);
    bool Pending() const { return pending_; }

  private:
    std::uint32_t quiet_;
    std::uint32_t longest_;
    bool pending_ = false;
    std::uint64_t first_ = 0;
    std::uint64_t last_ = 0;
};

} // namespace desktop
