#pragma once
// The program's entry: banner, command line, single packet, then either the
// key wait or server mode. Always returns 0.
int RunKorvane(int argc, char** argv);
