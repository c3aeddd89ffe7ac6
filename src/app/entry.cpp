#include "app/entry.h"

int RunKorvane(int, char**) { return 0; }
