// Raw data resources off Windows: there are none.
#ifndef _WIN32
#include "localization/language_table_resource.h"

bool ReadRawDataResource(WORD, std::vector<char>&) { return false; }
#endif
