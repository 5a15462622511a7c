// The test tuning from this process's environment.
#include "main_program/app/test_tuning.h"

#include <windows.h>

namespace main_program {

TestTuning ReadTestTuning() {
    return ParseTestTuning([](const char* name) {
        char value[32];
        const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
        return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
    });
}

} // namespace main_program
