// The product's one version, for every program's version resource and the
// installer (scripts read it from here).
#pragma once

#define SORVANE_VERSION_NUMBERS 1,0,0,5
#define SORVANE_VERSION_TEXT "1.0.0.5"
