#include "app/entry.h"

int main(int argc, char** argv) { return RunKorvane(argc, argv); }
