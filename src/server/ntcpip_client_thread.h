#pragma once
// NTCPIPClientThread: serves one accepted terminal connection. The byte
// stream is cut into transport packets, each packet is dumped, its frame
// data parsed and its transport report printed. With -r it also sends what
// the conversation (session::PlatformConversation) says to send: each
// packet's confirmation, the authorization answer, the operator's commands
// and uploads for this connection; without -r it never sends. It ends
// when the peer closes the connection, when a header cannot be validated
// even at 16 bytes, when asked to stop, or (with -r) when the terminal has
// not asked for authorization in time. One that ends on its own hands
// itself to the work thread (ClosedClients, ClientStopEvent), which deletes
// it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "compose/confirmation.h"
#include "compose/object_parts.h"
#include "pipeline/packet_pipeline.h"
#include "pipeline/packet_road.h"
#include "platform/connected_socket.h"
#include "platform/event.h"
#include "server/kclient_socket.h"
#include "server/kwork_thread.h"
#include "service/commands/subrecord_command_data.h"
#include "session/platform_conversation.h"
#include "transport/packet_framer.h"

class NTCPIPClientThread : public KWorkThread {
 public:
  // clientStopEvent is the work thread's member, read when the thread hands
  // itself over. stopAllEvent may be null and must outlive the object.
  // clientId names the connection in every message; notAuthorized is the
  // time its terminal has to ask for authorization (-r); `road` what to
  // report of every packet (-v, -x, -j), whether to talk (-r) and where
  // positions go (-g:).
  NTCPIPClientThread(std::unique_ptr<platform::ConnectedSocket> socket,
                     const std::unique_ptr<platform::Event>& clientStopEvent,
                     const char* peerAddress, uint16_t peerPort, platform::Event* stopAllEvent,
                     uint32_t clientId, std::chrono::milliseconds notAuthorized,
                     const PacketRoad& road);
  ~NTCPIPClientThread() override;

  // Prepares the connection and starts the thread; 1 on success.
  int StartClient();

  // Shuts the connection down in both directions; the thread then ends as
  // for a connection closed by the peer. Safe from the work thread.
  void ShutdownConnection();

  // The thread serves nothing until this is called (or it is asked to
  // stop): the work thread calls it once the line that names the client is
  // written, so nothing the client reports comes before that line.
  void Named();

  // The value that names this client in every message.
  uint32_t ClientId() const { return clientId_; }

  // The steady-clock time (session::SteadyNow) of the last complete packet,
  // or of the connection when none came yet. Safe from any thread.
  int64_t LastPacketAt() const { return lastPacketAt_.load(); }

  // What the operator's `clients` shows of the connection. Safe from any
  // thread while the object exists.
  struct Summary {
    uint32_t id = 0;
    std::string peer;  // "a.b.c.d:port"
    bool authorized = false;
    std::optional<uint32_t> tid;
    std::string imei;
    uint64_t packets = 0;
  };
  Summary GetSummary() const;

  // Hands an operator command to the connection (-r); the client thread
  // sends it with the connection's PID and RN and the given CID. `accepted`
  // runs once the command is taken and before the connection can send it.
  // kFull also when the connection talks to nobody (no -r). Safe from any
  // thread while the object exists.
  enum class Queued { kYes, kClosing, kFull };
  Queued QueueCommand(const EGTS::Subrecord_COMMAND_DATA& command, uint32_t cid,
                      const std::function<void()>& accepted);
  static constexpr std::size_t kMaxQueuedCommands = 64;

  // Hands an object to upload to the connection (-r): the client thread
  // sends it with the FIRMWARE service in parts sized from the terminal's
  // block size (or the default part size), each part's answer logged.
  // Outcomes and `accepted` as for QueueCommand; at most kMaxQueuedUploads
  // wait.
  struct Upload {
    std::vector<uint8_t> object;
    ObjectHeader header;
  };
  Queued QueueUpload(Upload upload, const std::function<void()>& accepted);
  static constexpr std::size_t kMaxQueuedUploads = 4;

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
  // Sends the step's replies in order, appends their dumps to `block` and
  // the findings to `findings`; false when one was not sent (a failure
  // leaves its message in `failure`).
  bool SendStep(session::Step& step, std::string& block, std::string& failure,
                session::Findings& findings);
  // Sends a confirmation and appends its dump to `block`.
  bool SendConfirmation(const std::vector<uint8_t>& bytes, std::string& block,
                        std::string& failure);
  void ReportPart();
  // The conversation's timers and the operator's queued commands (-r);
  // false when the connection is to end.
  bool ServeConversation();
  // Sends what the conformance runs want sent (-t:); false when the runs
  // want the connection closed or a send failed (with `failure`).
  bool SendRunPackets(std::string& block, std::string& failure,
                      session::Findings& findings);
  // Sends one packet of our own (the authorization answer, a command, a
  // run's packet), appends its dump to `block` and tells the conversation;
  // false (with `failure`) when it could not be sent.
  bool SendOwn(const std::vector<uint8_t>& bytes, std::string& block, std::string& failure);
  void LogAll(const std::string& failure, const session::Findings& findings);
  void UpdateSummary();
  void WriteBlock(const std::string& block) const;
  // A packet of the connection as the pipeline takes it (source "tcp",
  // "response" or "sent"), stamped now.
  pipeline::PacketIn PacketOf(const char* source, std::span<const uint8_t> bytes) const;
  // A packet we made and sent: its report, and its parse for the
  // conversation when `forConversation` (the authorization answer, a
  // command; else a confirmation).
  pipeline::PacketOut OwnPacket(const char* source, std::span<const uint8_t> bytes,
                                bool forConversation) const;

  uint32_t clientId_;
  std::string clientIdText_;
  std::unique_ptr<KClientSocket> socketWrapper_;
  std::string peerAddress_;
  uint16_t peerPort_;
  std::unique_ptr<platform::ConnectedSocket> socket_;
  const std::unique_ptr<platform::Event>& clientStopEvent_;
  std::unique_ptr<PacketFramer> framer_;  // the receive buffer
  platform::Event* stopAllEvent_;
  std::chrono::milliseconds notAuthorized_;
  std::atomic<int64_t> lastPacketAt_;
  const PacketRoad road_;
  const ReportOptions& report_ = road_.report;
  const TalkOptions& talk_ = road_.talk;
  pipeline::PacketPipeline pipeline_{road_};
  std::unique_ptr<session::PlatformConversation> conversation_;  // with -r
  std::unique_ptr<platform::Event> wake_;  // a command was queued (-r)
  std::unique_ptr<platform::Event> named_;  // set by Named
  std::mutex outboxLock_;
  struct QueuedCommand {
    EGTS::Subrecord_COMMAND_DATA command;
    uint32_t cid;
  };
  std::deque<QueuedCommand> outbox_;   // guarded by outboxLock_
  std::deque<Upload> uploads_;         // guarded by outboxLock_
  bool closing_ = false;               // guarded by outboxLock_
  mutable std::mutex summaryLock_;
  Summary summary_;                    // guarded by summaryLock_
};
