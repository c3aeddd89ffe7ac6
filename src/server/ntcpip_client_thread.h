#pragma once
// NTCPIPClientThread: serves one accepted terminal connection. It only
// receives: the byte stream is cut into transport packets, each packet is
// dumped, its frame data parsed and its transport report printed. It ends
// when the peer closes the connection, when a header cannot be validated
// even at 16 bytes, or when asked to stop. One that ends on its own hands
// itself to the work thread (ClosedClients, ClientStopEvent), which deletes
// it.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "compose/confirmation.h"
#include "console/report_options.h"
#include "platform/connected_socket.h"
#include "platform/event.h"
#include "server/kclient_socket.h"
#include "server/kwork_thread.h"
#include "server/packet_framer.h"

class NTCPIPClientThread : public KWorkThread {
 public:
  // clientStopEvent is the work thread's member, read when the thread hands
  // itself over. stopAllEvent may be null and must outlive the object.
  NTCPIPClientThread(std::unique_ptr<platform::ConnectedSocket> socket,
                     const std::unique_ptr<platform::Event>& clientStopEvent,
                     const char* peerAddress, uint16_t peerPort, platform::Event* stopAllEvent);
  ~NTCPIPClientThread() override;

  // Prepares the connection and starts the thread; 1 on success.
  int StartClient();

  // Shuts the connection down in both directions; the thread then ends as
  // for a connection closed by the peer. Safe from the work thread.
  void ShutdownConnection();

  // The value that names this client in every message.
  uint32_t ClientId() const;

  // What to report of every packet (-v, -x, -j).
  void SetReportOptions(const ReportOptions& options) { report_ = options; }

  // Sends the terminal a confirmation of every packet it sends (-r).
  void SetConfirmations(bool on) { confirmations_ = on; }

  // How long a confirmation may wait for a terminal that takes nothing.
  static constexpr std::chrono::milliseconds kSendLimit{1000};

  uint32_t Run() override;
  void OnThreadExit() override;

 private:
  enum class Next { kGoOn, kEnd, kEndAndHandOver };

  Next ServeFramerOutcome(PacketFramer::Outcome outcome);
  Next NoData();
  // Prints the packet and its reports; false when its confirmation could
  // not be sent and the connection is to end.
  bool ReportPacket();
  // Sends the confirmation and appends its dump to `block`; a send that
  // failed leaves its message in `failure`.
  void Confirm(uint8_t parseResult, const PacketHolder& parsed, std::string& block,
               std::string& failure);
  void ReportPart();
  std::string ResponseObject(const std::vector<uint8_t>& bytes) const;
  // The JSON object of what the connection carried (source "tcp" or
  // "response").
  std::string PacketObject(const char* source, std::span<const uint8_t> bytes,
                           uint8_t transportResult, const TransportHeader& header,
                           const PacketHolder* holder, uint8_t parsed) const;

  std::string clientIdText_;
  std::unique_ptr<KClientSocket> socketWrapper_;
  std::string peerAddress_;
  uint16_t peerPort_;
  std::unique_ptr<platform::ConnectedSocket> socket_;
  const std::unique_ptr<platform::Event>& clientStopEvent_;
  std::unique_ptr<PacketFramer> framer_;  // the receive buffer
  platform::Event* stopAllEvent_;
  ReportOptions report_;
  bool confirmations_ = false;
  ConfirmationCounters confirmationCounters_;
};
