#pragma once
// Many outgoing TCP connections driven by one event loop on the calling
// thread (standalone Asio: epoll on Linux, I/O completion ports on
// Windows), for the simulated units: no thread per connection.
//
// Memory per connection is small and bounded: received bytes are read into
// one buffer of the loop and handed out at once; bytes to send wait in the
// connection's queue, at most kMaxBacklog of them (Send refuses more, so a
// peer that stops reading cannot grow the process).
//
// All calls except Stop are made on the loop's thread (from the handler's
// callbacks, or before Run). Stop may be called from any thread.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace platform {

class TcpClientLoop {
 public:
  using Id = uint32_t;
  static constexpr std::size_t kMaxBacklog = 256 * 1024;

  class Handler {
   public:
    virtual ~Handler() = default;
    virtual void OnConnected(Id id) = 0;
    // The connection could not be made, or it ended: `byPeer` when the peer
    // closed it (end of stream), otherwise `error` says why. Not called for
    // a connection closed with Close.
    virtual void OnConnectFailed(Id id, std::error_code error) = 0;
    virtual void OnReceived(Id id, std::span<const uint8_t> bytes) = 0;
    virtual void OnClosed(Id id, bool byPeer, std::error_code error) = 0;
    // The wake-up asked for with WakeAt.
    virtual void OnWake(Id id) = 0;
  };

  explicit TcpClientLoop(Handler& handler);
  ~TcpClientLoop();
  TcpClientLoop(const TcpClientLoop&) = delete;
  TcpClientLoop& operator=(const TcpClientLoop&) = delete;

  // Starts connecting connection `id` (ids are the caller's: 0..n-1).
  void Connect(Id id, const std::string& address, uint16_t port);
  // Queues bytes; false (nothing queued) when the backlog would pass
  // kMaxBacklog or the connection is not open.
  bool Send(Id id, std::vector<uint8_t> bytes);
  // Closes once the queued bytes are sent (at most 1 s later).
  void CloseAfterSending(Id id);
  // One wake-up for `id` at steady milliseconds `at` (replaces an earlier
  // one); at < 0 cancels.
  void WakeAt(Id id, int64_t at);
  // Calls `tick` every `period` until Run returns.
  void Every(std::chrono::milliseconds period, std::function<void()> tick);
  // Runs until Stop, or until nothing is left to do.
  void Run();
  void Stop();
  // Connections open now.
  std::size_t Open() const;

  static int64_t SteadyMillis();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
