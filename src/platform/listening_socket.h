#pragma once
// A listening IPv4 TCP socket. It is signalled while a connection waits to
// be accepted.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/connected_socket.h"
#include "platform/error.h"
#include "platform/unique_socket.h"
#include "platform/waitable.h"

namespace platform {

struct AcceptedConnection {
  std::unique_ptr<ConnectedSocket> socket;
  PeerAddress peer;
};

class ListeningSocket final : public Waitable {
 public:
  // Binds to address (dotted IPv4; empty: every interface) and port (0: one
  // the system chooses) and listens with the given backlog.
  static Result<std::unique_ptr<ListeningSocket>> Open(const std::string& address, uint16_t port,
                                                       int backlog);

  ListeningSocket(const ListeningSocket&) = delete;
  ListeningSocket& operator=(const ListeningSocket&) = delete;

  // The port actually bound.
  Result<uint16_t> Port() const;

  // Takes one waiting connection; fails with EAGAIN when none waits.
  Result<AcceptedConnection> Accept();

 private:
#ifdef _WIN32
  ListeningSocket(UniqueSocket socket, UniqueHandle acceptEvent)
      : socket_(std::move(socket)), acceptEvent_(std::move(acceptEvent)) {}

  void* WaitHandle() const override { return acceptEvent_.Get(); }
  bool ClaimSignal() override;

  UniqueSocket socket_;
  UniqueHandle acceptEvent_;  // set by FD_ACCEPT (WSAEventSelect)
#else
  explicit ListeningSocket(UniqueFd descriptor) : descriptor_(std::move(descriptor)) {}

  int WaitDescriptor() const override { return descriptor_.Get(); }

  UniqueFd descriptor_;
#endif
};

}  // namespace platform
