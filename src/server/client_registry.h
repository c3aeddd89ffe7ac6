#pragma once
// The process-wide bookkeeping of client connection threads.
//
// ClientSyncObject guards the work thread's registry of live clients and
// ClosedClients, the clients that ended on their own and wait for the work
// thread to delete them. It may be held while ConsoleLock is taken, never
// the reverse. It exists from the first work thread set-up with a listener
// until that work thread stops.

#include <set>

#include "platform/mutex.h"

class NTCPIPClientThread;

// Null when none exists.
platform::Mutex* ClientSyncObject();

// Creates ClientSyncObject unless it exists; false when that failed (the
// system's error is in `error`).
bool CreateClientSyncObject(std::error_code& error);

// Closes ClientSyncObject. Only while no client thread can still wait for it.
void CloseClientSyncObject();

// Clients that ended on their own; use only while holding ClientSyncObject.
std::set<NTCPIPClientThread*>& ClosedClients();
