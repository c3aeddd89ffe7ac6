#include "server/client_registry.h"

#include <atomic>
#include <memory>

namespace {

struct ClientBookkeeping {
  std::unique_ptr<platform::Mutex> syncObject;
  std::atomic<platform::Mutex*> published{nullptr};
  std::set<NTCPIPClientThread*> closedClients;
};

ClientBookkeeping& Bookkeeping() {
  // Never destroyed: a client thread may still look at it while the process
  // ends.
  static ClientBookkeeping* const bookkeeping = new ClientBookkeeping;
  return *bookkeeping;
}

}  // namespace

platform::Mutex* ClientSyncObject() { return Bookkeeping().published.load(); }

bool CreateClientSyncObject(std::error_code& error) {
  ClientBookkeeping& state = Bookkeeping();
  if (state.syncObject) return true;
  auto mutex = platform::Mutex::Create();
  if (!mutex) {
    error = mutex.error();
    return false;
  }
  state.syncObject = std::move(*mutex);
  state.published.store(state.syncObject.get());
  return true;
}

void CloseClientSyncObject() {
  ClientBookkeeping& state = Bookkeeping();
  state.published.store(nullptr);
  state.syncObject.reset();
}

std::set<NTCPIPClientThread*>& ClosedClients() { return Bookkeeping().closedClients; }
