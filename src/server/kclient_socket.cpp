#include "server/kclient_socket.h"

#include <algorithm>
#include <cerrno>

#include "platform/wait_set.h"

namespace {

// What a graceful close drains at most before it gives up on the peer.
constexpr std::size_t kDrainLimit = 64 * 1024;

}  // namespace

KClientSocket::KClientSocket(std::unique_ptr<platform::ConnectedSocket> socket)
    : socket_(std::move(socket)) {
  if (socket_ && socket_->IsOpen()) status_ = kOpen;
}

KClientSocket::~KClientSocket() { Close(); }

bool KClientSocket::Receive(uint8_t* buffer, std::size_t count, std::size_t& received,
                            platform::Event* stop1, platform::Event* stop2, platform::Event* wake,
                            std::chrono::milliseconds limit) {
  received = 0;
  if (!socket_) {
    status_ = kNoSocket;
    return false;
  }
  platform::WaitSet waits;
  if (stop1 != nullptr) waits.Add(*stop1);
  if (stop2 != nullptr) waits.Add(*stop2);
  const std::size_t socketPosition = waits.Count();
  waits.Add(*socket_);
  if (wake != nullptr) waits.Add(*wake);

  // A stop request is seen even while bytes keep arriving.
  if ((stop1 != nullptr && stop1->IsSet()) || (stop2 != nullptr && stop2->IsSet())) {
    status_ = kInterrupted;
    return false;
  }
  while (received < count) {
    const std::size_t missing = count - received;
    // Bytes that are already waiting are taken without a wait first.
    auto got = socket_->Receive(buffer + received, missing);
    if (got && *got == 0) {
      status_ = kClosed;
      return false;
    }
    if (got) {
      received += *got;
      continue;
    }
    if (got.error().value() != EAGAIN && got.error().value() != EWOULDBLOCK) {
      status_ = kClosed;
      return false;
    }
    const platform::WaitResult woken = waits.Wait(limit);
    if (woken.status == platform::WaitStatus::kTimedOut ||
        (woken.status == platform::WaitStatus::kSignalled && woken.position > socketPosition)) {
      status_ = kWoken;
      return false;
    }
    if (woken.status != platform::WaitStatus::kSignalled || woken.position != socketPosition) {
      status_ = kInterrupted;
      return false;
    }
  }
  status_ = kOpen;
  return true;
}

KClientSocket::SendResult KClientSocket::SendAll(const uint8_t* data, std::size_t count,
                                                 std::chrono::milliseconds limit,
                                                 platform::Event* stop1, platform::Event* stop2,
                                                 std::error_code& error) {
  if (!socket_) return SendResult::kFailed;
  platform::WaitSet waits;
  if (stop1 != nullptr) waits.Add(*stop1);
  if (stop2 != nullptr) waits.Add(*stop2);
  const std::size_t writablePosition = waits.Count();
  waits.Add(socket_->Writable());
  while (count > 0) {
    auto sent = socket_->Send(data, count);
    if (sent) {
      data += *sent;
      count -= *sent;
      continue;
    }
    if (sent.error().value() != EAGAIN && sent.error().value() != EWOULDBLOCK) {
      error = sent.error();
      status_ = kClosed;
      return SendResult::kFailed;
    }
    const platform::WaitResult woken = waits.Wait(limit);
    if (woken.status == platform::WaitStatus::kTimedOut) return SendResult::kTimedOut;
    if (woken.status != platform::WaitStatus::kSignalled || woken.position != writablePosition) {
      return SendResult::kInterrupted;
    }
  }
  return SendResult::kSent;
}

void KClientSocket::Shutdown(platform::ShutdownDirection direction) {
  std::lock_guard<std::mutex> hold(closing_);
  if (socket_) socket_->Shutdown(direction);
}

void KClientSocket::Close() {
  if (!socket_) return;
  if (graceful_) {
    socket_->Shutdown(platform::ShutdownDirection::kSend);
    socket_->Wait(closeWait_);
    uint8_t scrap[1024];
    for (std::size_t drained = 0; drained < kDrainLimit;) {
      auto got = socket_->Receive(scrap, sizeof scrap);
      if (!got || *got == 0) break;
      drained += *got;
    }
  } else {
    socket_->Shutdown(platform::ShutdownDirection::kBoth);
  }
  std::lock_guard<std::mutex> hold(closing_);
  socket_.reset();
}
