// Fuzzes the screensaver command-line parser with arbitrary UTF-16 text.
#include "startup/command_line.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdint>
#include <string>

namespace {

std::string Describe(const CommandLine& line) {
    return "mode " + std::to_string(static_cast<int>(line.mode)) + ", window " + std::to_string(line.window);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = fuzz::WideFromBytes(std::string(reinterpret_cast<const char*>(data), size));
    // The system hands over a NUL-terminated text; a NUL inside ends it there.
    const CommandLine line = ParseSwitches(text.c_str());
    const auto got = [&] { return Describe(line) + " for " + fuzz::Printable(text); };

    const int mode = static_cast<int>(line.mode);
    FUZZ_CHECK(mode >= 0 && mode <= 4, "the mode is one of the five", "0..4", got());
    FUZZ_CHECK(line.window >= 0, "a window number is never negative", ">= 0", got());
    if (line.mode == RunMode::Run || line.mode == RunMode::Exit)
        FUZZ_CHECK(line.window == 0, "run and exit carry no window", "window 0", got());

    // The parse depends only on the text up to its first NUL.
    const CommandLine again = ParseSwitches(std::wstring(text.c_str()).c_str());
    FUZZ_CHECK(again.mode == line.mode && again.window == line.window, "parsing is repeatable", got(), Describe(again));
    return 0;
}
