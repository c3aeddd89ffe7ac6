#pragma once
// KClientSocket: the receiving side of one terminal connection. Receive
// fills exactly the bytes asked for unless a stop event fires, the peer
// closes the connection or a receive fails; Close shuts the connection
// down (gracefully: sending side first, then what the peer still sends is
// drained) and closes it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/connected_socket.h"
#include "platform/event.h"
#include "platform/wait_set.h"

class KClientSocket {
 public:
  // What became of the connection's last receive.
  enum State : uint8_t {
    kOpen,
    kInterrupted,  // a stop event fired, or the byte count failed
    kNoSocket,
    kClosed,       // closed by the peer, or a receive failed
    kWoken,        // the wake event fired or the time limit passed
  };

  explicit KClientSocket(std::unique_ptr<platform::ConnectedSocket> socket);
  ~KClientSocket();
  KClientSocket(const KClientSocket&) = delete;
  KClientSocket& operator=(const KClientSocket&) = delete;

  State Status() const { return status_; }

  // Closing shuts down only the sending side and drains what the peer still
  // sends, when graceful.
  void SetGraceful(bool graceful) { graceful_ = graceful; }
  // How long Close waits for the peer's close.
  void SetCloseWait(std::chrono::milliseconds wait) { closeWait_ = wait; }

  // Receives count bytes at buffer. `received` tells how many arrived, also
  // when it returns false (interrupted, closed or woken; see Status). stop1,
  // stop2 and wake may be null; the wait for bytes ends after `limit`.
  bool Receive(uint8_t* buffer, std::size_t count, std::size_t& received, platform::Event* stop1,
               platform::Event* stop2, platform::Event* wake = nullptr,
               std::chrono::milliseconds limit = platform::kNoTimeLimit);

  enum class SendResult { kSent, kFailed, kTimedOut, kInterrupted };
  // Sends all of data, continuing partial sends. Waits at most `limit` each
  // time the peer takes nothing, and gives up when a stop event fires.
  SendResult SendAll(const uint8_t* data, std::size_t count, std::chrono::milliseconds limit,
                     platform::Event* stop1, platform::Event* stop2, std::error_code& error);

  // Safe from another thread while the owner receives or closes.
  void Shutdown(platform::ShutdownDirection direction);
  void Close();

 private:
  std::mutex closing_;  // Shutdown from another thread against Close
  std::unique_ptr<platform::ConnectedSocket> socket_;
  State status_ = kNoSocket;
  bool graceful_ = false;
  std::chrono::milliseconds closeWait_{500};
};
