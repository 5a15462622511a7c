// Identifiers of the resources of the Windows-side test program.
#pragma once

#define IDD_FRAMEWORK_TEST 9001
