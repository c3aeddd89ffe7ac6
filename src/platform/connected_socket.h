#pragma once
// A connected IPv4 TCP socket. It never blocks: it is signalled while bytes
// are waiting or the peer has closed the connection, and a receive takes
// what is there.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "platform/error.h"
#include "platform/unique_fd.h"
#include "platform/waitable.h"

namespace platform {

struct PeerAddress {
  std::array<uint8_t, 4> octets{};  // in network order: 127, 0, 0, 1
  uint16_t port = 0;                // in host order
};

enum class ShutdownDirection { kReceive, kSend, kBoth };

class ConnectedSocket final : public Waitable {
 public:
  explicit ConnectedSocket(UniqueFd descriptor) : descriptor_(std::move(descriptor)) {}

  // Connects to address:port (dotted IPv4), waiting at most `limit` for the
  // peer to answer (ETIMEDOUT then).
  static Result<std::unique_ptr<ConnectedSocket>> Connect(const std::string& address,
                                                          uint16_t port,
                                                          std::chrono::milliseconds limit =
                                                              kNoTimeLimit);

  ConnectedSocket(const ConnectedSocket&) = delete;
  ConnectedSocket& operator=(const ConnectedSocket&) = delete;

  bool IsOpen() const { return descriptor_.IsOpen(); }

  // How many bytes can be received now.
  Result<std::size_t> BytesWaiting() const;

  // Receives up to count bytes of those waiting. 0: the peer has closed the
  // connection. Fails with EAGAIN when nothing is waiting.
  Result<std::size_t> Receive(void* buffer, std::size_t count);

  // True once the peer has closed (or reset) the connection.
  bool PeerHasClosed() const;

  // Sends what the socket takes now; returns how many bytes that was.
  // Fails with EAGAIN when it takes nothing now.
  Result<std::size_t> Send(const void* data, std::size_t count);

  // Signalled while the socket takes more bytes to send (or has failed).
  Waitable& Writable() { return writable_; }

  std::error_code Shutdown(ShutdownDirection direction);
  void Close() { descriptor_.Reset(); }

  // The local port (useful to tell connections apart).
  Result<uint16_t> LocalPort() const;

 private:
  int WaitDescriptor() const override { return descriptor_.Get(); }
  bool SignalsPeerClose() const override { return true; }

  class WritableSide final : public Waitable {
   public:
    explicit WritableSide(const UniqueFd& descriptor) : descriptor_(descriptor) {}

   private:
    int WaitDescriptor() const override { return descriptor_.Get(); }
    bool SignalsWritable() const override { return true; }
    const UniqueFd& descriptor_;
  };

  UniqueFd descriptor_;
  WritableSide writable_{descriptor_};
};

}  // namespace platform
