// The bytes of a raw data resource of the program's own module.
#pragma once

#include "platform/win_types.h"

#include <vector>

// False when the resource is missing or empty; there are no resources in
// builds without Windows.
bool ReadRawDataResource(WORD resourceId, std::vector<char>& bytes);
