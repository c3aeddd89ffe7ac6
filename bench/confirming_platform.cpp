// A fast platform for the simulated units' tests and figures: listens on
// 127.0.0.1 (port 0: one from the system, printed as "port <n>" on the
// first line), confirms every application packet with a RESPONSE and a
// RECORD_RESPONSE per record, answers each authorization record with
// RESULT_CODE 0, and prints its counts on "records <n>" lines when its
// standard input ends or after the given seconds.
//
//   confirming_platform <port> [<seconds>]
//
// One thread and one event loop, as the units have. Built for the tests
// and bench/units_bench.py only.

#include <asio.hpp>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "compose/unit_packets.h"
#include "transport/checksum.h"

namespace {

using asio::ip::tcp;

uint64_t records = 0;
uint64_t packets = 0;

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  explicit Connection(tcp::socket socket) : socket_(std::move(socket)) {}
  void Start() { Read(); }

 private:
  void Read() {
    auto self = shared_from_this();
    socket_.async_read_some(asio::buffer(chunk_), [self](asio::error_code e, std::size_t n) {
      if (e) return;
      self->inbox_.insert(self->inbox_.end(), self->chunk_, self->chunk_ + n);
      self->Frame();
      self->Read();
    });
  }

  void Frame() {
    std::size_t at = 0;
    while (inbox_.size() - at >= 11) {
      const uint8_t* p = inbox_.data() + at;
      const std::size_t hl = p[3];
      const std::size_t fdl = p[5] | (p[6] << 8);
      const std::size_t total = hl + fdl + (fdl > 0 ? 2 : 0);
      if (hl < 11 || inbox_.size() - at < total) break;
      Answer(p, hl, fdl);
      at += total;
    }
    inbox_.erase(inbox_.begin(), inbox_.begin() + static_cast<std::ptrdiff_t>(at));
  }

  void Answer(const uint8_t* p, std::size_t hl, std::size_t fdl) {
    if (p[9] != 1) return;  // only application data is confirmed
    ++packets;
    const uint16_t pid = static_cast<uint16_t>(p[7] | (p[8] << 8));
    compose::PacketWriter response(pid_++, pid, 0);
    bool authorization = false;
    for (std::size_t at = hl; at + 7 <= hl + fdl;) {
      const std::size_t rl = p[at] | (p[at + 1] << 8);
      const uint16_t rn = static_cast<uint16_t>(p[at + 2] | (p[at + 3] << 8));
      const uint8_t rfl = p[at + 4];
      const std::size_t header = 7 + (rfl & 1 ? 4 : 0) + (rfl & 2 ? 4 : 0) + (rfl & 4 ? 4 : 0);
      const uint8_t sst = p[at + header - 2];
      if (at + header + rl > hl + fdl) break;
      ++records;
      authorization |= sst == 1 && p[at + header] == 1;  // TERM_IDENTITY
      response.BeginRecord(rn_++, sst);
      response.Subrecord(0, compose::RecordResponseSrd(rn, 0));
      response.EndRecord();
      at += header + rl;
    }
    Send(response.Finish());
    if (authorization) {
      compose::PacketWriter result(pid_++);
      result.BeginRecord(rn_++, 1);
      const uint8_t rcd = 0;
      result.Subrecord(9, std::span<const uint8_t>(&rcd, 1));
      result.EndRecord();
      Send(result.Finish());
    }
  }

  void Send(std::vector<uint8_t> bytes) {
    outbox_.insert(outbox_.end(), bytes.begin(), bytes.end());
    if (!writing_) Write();
  }

  void Write() {
    if (outbox_.empty()) {
      writing_ = false;
      return;
    }
    writing_ = true;
    sending_.swap(outbox_);
    outbox_.clear();
    auto self = shared_from_this();
    asio::async_write(socket_, asio::buffer(sending_), [self](asio::error_code e, std::size_t) {
      if (e) return;
      self->Write();
    });
  }

  tcp::socket socket_;
  uint8_t chunk_[16384];
  std::vector<uint8_t> inbox_, outbox_, sending_;
  bool writing_ = false;
  uint16_t pid_ = 0;
  uint16_t rn_ = 0;
};

void Accept(tcp::acceptor& acceptor) {
  acceptor.async_accept([&acceptor](asio::error_code e, tcp::socket socket) {
    if (!e) {
      socket.set_option(tcp::no_delay(true));
      std::make_shared<Connection>(std::move(socket))->Start();
    }
    Accept(acceptor);
  });
}

}  // namespace

int main(int argc, char** argv) {
  const auto port = static_cast<uint16_t>(argc > 1 ? std::atoi(argv[1]) : 0);
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 0;
  asio::io_context io;
  tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::make_address("127.0.0.1"), port));
  acceptor.listen(4096);
  std::printf("port %u\n", unsigned{acceptor.local_endpoint().port()});
  std::fflush(stdout);
  Accept(acceptor);
  // Ends when standard input ends (or after `seconds`).
  std::thread stdinWatch([&io, seconds] {
    if (seconds > 0) {
      std::this_thread::sleep_for(std::chrono::seconds(seconds));
    } else {
      while (std::getchar() != EOF) {
      }
    }
    io.stop();
  });
  io.run();
  stdinWatch.join();
  std::printf("records %llu packets %llu\n", static_cast<unsigned long long>(records),
              static_cast<unsigned long long>(packets));
  return 0;
}
