#pragma once
// A test terminal: a TCP connection to the server on 127.0.0.1.

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/connected_socket.h"
#include "platform/listening_socket.h"

namespace testing_support {

// A port that was free a moment ago (the system chose it, then it was let go).
inline uint16_t FreePort() {
  auto socket = platform::ListeningSocket::Open("127.0.0.1", 0, 1);
  return socket ? *(*socket)->Port() : 0;
}

class Terminal {
 public:
  explicit Terminal(uint16_t port) {
    auto socket = platform::ConnectedSocket::Connect("127.0.0.1", port);
    if (socket) socket_ = std::move(*socket);
  }
  // The other end of a connection a test accepted itself.
  explicit Terminal(std::unique_ptr<platform::ConnectedSocket> socket)
      : socket_(std::move(socket)) {}

  bool Connected() const { return socket_ != nullptr; }

  // Sends every byte, waiting while the connection is full; false when the
  // connection is gone.
  bool Send(const std::vector<uint8_t>& bytes) {
    std::size_t done = 0;
    while (socket_ && done < bytes.size()) {
      auto sent = socket_->Send(bytes.data() + done, bytes.size() - done);
      if (sent) {
        done += *sent;
      } else if (!WouldBlock(sent.error())) {
        return false;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    return done == bytes.size();
  }

  // Reads until `count` bytes are in, the peer closes, or the time runs out.
  std::vector<uint8_t> Read(std::size_t count,
                            std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::vector<uint8_t> bytes(count);
    std::size_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (socket_ && done < count && std::chrono::steady_clock::now() < deadline) {
      auto got = socket_->Receive(bytes.data() + done, count - done);
      if (got && *got == 0) break;
      if (got) {
        done += *got;
      } else {
        socket_->Wait(std::chrono::milliseconds(10));
      }
    }
    bytes.resize(done);
    return bytes;
  }

  // The next whole packet from the server: the header, then HL + FDL + 2
  // bytes; what came when the peer closed or the time ran out.
  std::vector<uint8_t> ReadPacket(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    std::vector<uint8_t> packet = Read(11, limit);
    if (packet.size() < 11) return packet;
    const std::size_t fdl = packet[5] | (packet[6] << 8);
    const std::size_t total = packet[3] + fdl + (fdl > 0 ? 2 : 0);
    const std::vector<uint8_t> rest = total > 11 ? Read(total - 11, limit) : std::vector<uint8_t>();
    packet.insert(packet.end(), rest.begin(), rest.end());
    return packet;
  }

  // Reads and drops what comes until the peer closes the connection; false
  // when the time runs out first.
  bool WaitUntilClosed(std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    uint8_t byte = 0;
    while (socket_ && std::chrono::steady_clock::now() < deadline) {
      auto got = socket_->Receive(&byte, 1);
      if (got && *got == 0) return true;
      if (got) continue;
      if (!WouldBlock(got.error())) return true;  // reset: gone as well
      socket_->Wait(std::chrono::milliseconds(10));
    }
    return false;
  }

  void Close() { socket_.reset(); }

 private:
  static bool WouldBlock(const std::error_code& error) {
    return error.value() == EAGAIN || error.value() == EWOULDBLOCK;
  }

  std::unique_ptr<platform::ConnectedSocket> socket_;
};

}  // namespace testing_support
