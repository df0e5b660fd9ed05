// Stand-in until the random numbers are built.
#include "core/stand_in.h"
#include "script/runtime_tables.h"

void SeedRandom(uint32_t) { STAND_IN(); }
