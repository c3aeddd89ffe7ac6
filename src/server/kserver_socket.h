#pragma once
// KServerSocket: the work thread's listening TCP socket. Construction binds
// and listens; the status tells whether that worked (7) or not (4, with the
// system's error in LastError). The accept event is the socket itself: it
// is signalled while a connection waits to be accepted.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/error.h"
#include "platform/listening_socket.h"

class KServerSocket {
 public:
  enum State : uint8_t { kFailed, kListening };
  static constexpr int kBacklog = 10;

  // Binds to bindAddress (dotted IPv4; empty: every interface) and port.
  KServerSocket(uint16_t port, const std::string& bindAddress);
  KServerSocket(const KServerSocket&) = delete;
  KServerSocket& operator=(const KServerSocket&) = delete;

  State Status() const { return status_; }
  // The system's error number of the last failure; 0 when none.
  uint32_t LastError() const { return lastError_; }

  // Signalled while a connection waits; null unless listening.
  platform::Waitable* AcceptEvent() const { return socket_.get(); }

  // Takes one waiting connection. On failure LastError holds the error.
  platform::Result<platform::AcceptedConnection> Accept();

  // The peer of the last accepted connection; zero before the first.
  const platform::PeerAddress& PeerAddress() const { return peer_; }

  // Shuts the socket down and closes it.
  void Close() { socket_.reset(); }

 private:
  std::unique_ptr<platform::ListeningSocket> socket_;
  platform::PeerAddress peer_;
  State status_ = kFailed;
  uint32_t lastError_ = 0;
};
