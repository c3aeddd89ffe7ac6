#pragma once
// Console access: a single key read without echo and without Enter.

namespace platform {

// Waits for one key. On a terminal the key is read in raw mode (no echo, no
// line buffering); otherwise one byte is read and end of input counts as the
// key.
void WaitForKey();

// Whether standard error goes to a terminal (a person watches it).
bool StandardErrorIsTerminal();

// Whether standard output goes to a terminal rather than a file or pipe.
bool StandardOutputIsTerminal();

}  // namespace platform
