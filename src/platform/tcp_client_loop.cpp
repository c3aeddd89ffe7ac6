#include "platform/tcp_client_loop.h"

#include <deque>

#include <asio.hpp>

namespace platform {

namespace {

using asio::ip::tcp;

constexpr std::size_t kReadBuffer = 65536;
constexpr auto kCloseGrace = std::chrono::seconds(1);

}  // namespace

struct TcpClientLoop::State {
  struct Connection {
    explicit Connection(asio::io_context& io) : socket(io), timer(io) {}
    tcp::socket socket;
    asio::steady_timer timer;
    std::deque<std::vector<uint8_t>> queue;
    std::size_t backlog = 0;
    uint64_t generation = 0;
    bool open = false;
    bool writing = false;
    bool closing = false;
    int64_t wakeAt = -1;  // the timer's expiry, -1 when not armed
  };

  explicit State(Handler& h) : handler(h), ticker(io), buffer(kReadBuffer) {}

  Connection* Find(Id id, uint64_t generation) {
    if (id >= connections.size() || !connections[id]) return nullptr;
    Connection* c = connections[id].get();
    return c->generation == generation ? c : nullptr;
  }

  void Drop(Id id) {
    if (id >= connections.size() || !connections[id]) return;
    if (connections[id]->open) --open;
    asio::error_code ignored;
    connections[id]->socket.close(ignored);
    connections[id].reset();
  }

  void Fail(Id id, bool byPeer, std::error_code error) {
    Drop(id);
    handler.OnClosed(id, byPeer, error);
  }

  void ArmRead(Id id) {
    Connection* c = connections[id].get();
    const uint64_t generation = c->generation;
    c->socket.async_wait(tcp::socket::wait_read, [this, id, generation](const asio::error_code& e) {
      if (e == asio::error::operation_aborted || Find(id, generation) == nullptr) return;
      if (e) {
        Fail(id, false, e);
        return;
      }
      Read(id, generation);
    });
  }

  void Read(Id id, uint64_t generation) {
    for (;;) {
      Connection* c = Find(id, generation);
      if (c == nullptr) return;
      asio::error_code e;
      const std::size_t got = c->socket.read_some(asio::buffer(buffer), e);
      if (e == asio::error::would_block || e == asio::error::try_again) break;
      if (e == asio::error::eof) {
        Fail(id, true, {});
        return;
      }
      if (e) {
        Fail(id, false, e);
        return;
      }
      handler.OnReceived(id, std::span<const uint8_t>(buffer.data(), got));
      if (got < buffer.size()) break;
    }
    if (Connection* c = Find(id, generation); c != nullptr && !c->closing) ArmRead(id);
  }

  void Write(Id id) {
    Connection* c = connections[id].get();
    if (c->writing) return;
    if (c->queue.empty()) {
      if (c->closing) Drop(id);
      return;
    }
    c->writing = true;
    const uint64_t generation = c->generation;
    asio::async_write(c->socket, asio::buffer(c->queue.front()),
                      [this, id, generation](const asio::error_code& e, std::size_t) {
                        Connection* c = Find(id, generation);
                        if (c == nullptr || e == asio::error::operation_aborted) return;
                        if (e) {
                          Fail(id, false, e);
                          return;
                        }
                        c->writing = false;
                        c->backlog -= c->queue.front().size();
                        c->queue.pop_front();
                        Write(id);
                      });
  }

  Handler& handler;
  asio::io_context io;
  asio::steady_timer ticker;
  std::vector<uint8_t> buffer;
  std::vector<std::unique_ptr<Connection>> connections;
  std::size_t open = 0;
  uint64_t generations = 0;
};

TcpClientLoop::TcpClientLoop(Handler& handler) : state_(std::make_unique<State>(handler)) {}

TcpClientLoop::~TcpClientLoop() = default;

int64_t TcpClientLoop::SteadyMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void TcpClientLoop::Connect(Id id, const std::string& address, uint16_t port) {
  State& s = *state_;
  if (id >= s.connections.size()) s.connections.resize(id + 1);
  s.Drop(id);
  s.connections[id] = std::make_unique<State::Connection>(s.io);
  State::Connection& c = *s.connections[id];
  c.generation = ++s.generations;
  asio::error_code e;
  const asio::ip::address ip = asio::ip::make_address(address, e);
  if (e) {
    s.Drop(id);
    s.handler.OnConnectFailed(id, e);
    return;
  }
  const uint64_t generation = c.generation;
  c.socket.async_connect(tcp::endpoint(ip, port), [this, id, generation](const asio::error_code& e) {
    State& s = *state_;
    State::Connection* c = s.Find(id, generation);
    if (c == nullptr || e == asio::error::operation_aborted) return;
    if (e) {
      s.Drop(id);
      s.handler.OnConnectFailed(id, e);
      return;
    }
    asio::error_code ignored;
    c->socket.non_blocking(true, ignored);
    c->socket.set_option(tcp::no_delay(true), ignored);
    c->open = true;
    ++s.open;
    s.ArmRead(id);
    s.handler.OnConnected(id);
  });
}

bool TcpClientLoop::Send(Id id, std::vector<uint8_t> bytes) {
  State& s = *state_;
  if (id >= s.connections.size() || !s.connections[id]) return false;
  State::Connection& c = *s.connections[id];
  if (!c.open || c.closing || c.backlog + bytes.size() > kMaxBacklog) return false;
  c.backlog += bytes.size();
  c.queue.push_back(std::move(bytes));
  s.Write(id);
  return true;
}

void TcpClientLoop::CloseAfterSending(Id id) {
  State& s = *state_;
  if (id >= s.connections.size() || !s.connections[id]) return;
  State::Connection& c = *s.connections[id];
  c.closing = true;
  c.timer.cancel();
  if (!c.writing) {
    s.Drop(id);
    return;
  }
  const uint64_t generation = c.generation;
  c.timer.expires_after(kCloseGrace);
  c.timer.async_wait([this, id, generation](const asio::error_code& e) {
    if (!e && state_->Find(id, generation) != nullptr) state_->Drop(id);
  });
}

void TcpClientLoop::WakeAt(Id id, int64_t at) {
  State& s = *state_;
  if (id >= s.connections.size() || !s.connections[id]) return;
  State::Connection& c = *s.connections[id];
  // Most calls ask for the wake-up already armed: re-arming costs a
  // cancelled wait each time.
  if (c.closing || at == c.wakeAt) return;
  c.timer.cancel();
  c.wakeAt = at;
  if (at < 0) return;
  const uint64_t generation = c.generation;
  c.timer.expires_at(asio::steady_timer::time_point(std::chrono::milliseconds(at)));
  c.timer.async_wait([this, id, generation](const asio::error_code& e) {
    State::Connection* c = e ? nullptr : state_->Find(id, generation);
    if (c == nullptr) return;
    c->wakeAt = -1;
    state_->handler.OnWake(id);
  });
}

void TcpClientLoop::Every(std::chrono::milliseconds period, std::function<void()> tick) {
  State& s = *state_;
  s.ticker.expires_after(period);
  s.ticker.async_wait([this, period, tick = std::move(tick)](const asio::error_code& e) {
    if (e) return;
    tick();
    Every(period, tick);
  });
}

void TcpClientLoop::Run() { state_->io.run(); }

void TcpClientLoop::Stop() { state_->io.stop(); }

std::size_t TcpClientLoop::Open() const { return state_->open; }

}  // namespace platform
