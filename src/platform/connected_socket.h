#pragma once
// A connected IPv4 TCP socket. It never blocks: it is signalled while bytes
// are waiting or the peer has closed the connection, and a receive takes
// what is there. On Windows its readiness comes from WSAEventSelect: one
// event object serves both the receiving and the sending side.

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>

#include "platform/error.h"
#include "platform/unique_socket.h"
#include "platform/waitable.h"

namespace platform {

struct PeerAddress {
  std::array<uint8_t, 4> octets{};  // in network order: 127, 0, 0, 1
  uint16_t port = 0;                // in host order
};

enum class ShutdownDirection { kReceive, kSend, kBoth };

class ConnectedSocket final : public Waitable {
 public:
#ifdef _WIN32
  explicit ConnectedSocket(UniqueSocket socket);
#else
  explicit ConnectedSocket(UniqueSocket descriptor) : descriptor_(std::move(descriptor)) {}
#endif

  // Connects to address:port (dotted IPv4), waiting at most `limit` for the
  // peer to answer (ETIMEDOUT then).
  static Result<std::unique_ptr<ConnectedSocket>> Connect(const std::string& address,
                                                          uint16_t port,
                                                          std::chrono::milliseconds limit =
                                                              kNoTimeLimit);

  ConnectedSocket(const ConnectedSocket&) = delete;
  ConnectedSocket& operator=(const ConnectedSocket&) = delete;

#ifdef _WIN32
  bool IsOpen() const { return socket_.IsOpen(); }
#else
  bool IsOpen() const { return descriptor_.IsOpen(); }
#endif

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
#ifdef _WIN32
  void Close() { socket_.Reset(); }
#else
  void Close() { descriptor_.Reset(); }
#endif

  // The local port (useful to tell connections apart).
  Result<uint16_t> LocalPort() const;

 private:
#ifdef _WIN32
  // Network events taken from the socket and not reported yet. A closed
  // connection stays reported.
  enum : unsigned { kReadable = 1, kWritable = 2, kPeerClosed = 4 };

  // Collects the socket's recorded network events (clearing its event).
  unsigned TakeNetworkEvents();
  // Reports the signal when one of wanted is pending; the peer's close
  // counts for both sides and is never taken.
  bool ClaimPending(unsigned wanted);
  void SetIfPending(unsigned wanted);

  void* WaitHandle() const override;
  void PrepareWait() override { SetIfPending(kReadable | kPeerClosed); }
  bool ClaimSignal() override { return ClaimPending(kReadable); }

  class WritableSide final : public Waitable {
   public:
    explicit WritableSide(ConnectedSocket& owner) : owner_(owner) {}

   private:
    void* WaitHandle() const override { return owner_.WaitHandle(); }
    void PrepareWait() override { owner_.SetIfPending(kWritable | kPeerClosed); }
    bool ClaimSignal() override { return owner_.ClaimPending(kWritable); }
    ConnectedSocket& owner_;
  };

  UniqueSocket socket_;
  UniqueHandle event_;
  std::error_code setupError_;  // why the event could not be tied to the socket
  std::atomic<unsigned> pending_{0};
  std::atomic<int> connectError_{0};  // the outcome FD_CONNECT reported
  WritableSide writable_{*this};
#else
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
#endif
};

}  // namespace platform
