#pragma once
// NWorkThread: the one work thread of the server. It serves, one event per
// wake-up and in this priority order: its own stop event, the command queue
// (QueueEvent), StopAllEvent, the incoming directory's change notification,
// the listener's accept event and ClientStopEvent.
//
// The entry constructs it, calls StartWorkThread once, and at the end Stop
// and deletes it. The operator console, on the main thread, only calls
// QueueCommand and GetState.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "compose/command_packet.h"
#include "pipeline/packet_pipeline.h"
#include "pipeline/packet_road.h"
#include "platform/change_notification.h"
#include "platform/directory.h"
#include "platform/event.h"
#include "platform/mutex.h"
#include "platform/wait_set.h"
#include "server/kserver_socket.h"
#include "server/kwork_thread.h"
#include "server/ntcpip_client_thread.h"
#include "server/server_limits.h"
#include "service/commands/subrecord_command_data.h"

// What became of a command handed to the work thread.
enum class QueueOutcome {
  kQueued,
  kNoWorkThread,
  kNotRunning,
  kNoQueue,        // no incoming directory, so no QueueLock
  kLockTimedOut,   // QueueLock stayed taken for the whole limit
};

// What became of a command for a connected terminal (-r).
enum class SendOutcome {
  kQueued,
  kNoConnection,   // no connection has that id, or it is closing
  kNotAccepted,    // the connection has too many commands waiting
  kLockTimedOut,   // the client registry stayed locked
};

class NWorkThread : public KWorkThread {
 public:
  static constexpr std::chrono::milliseconds kQueueLockLimit{3000};
  static constexpr std::chrono::milliseconds kRegisterLockLimit{3000};
  static constexpr std::chrono::milliseconds kReapLockLimit{1000};
  static constexpr uint32_t kClientGracePeriod = 2000;  // milliseconds
  static constexpr std::size_t kMaxClients = 4;
  static constexpr uint32_t kWaitFailedCause = 251;

  // Texts may be null. Without an incoming directory none of the three
  // directories is kept. A null bind address means every interface; port 0
  // means no listener. stopAllEvent (may be null) must outlive the object.
  // `road` is what the client threads and the incoming directory report of
  // every packet (-v, -x, -j), whether clients talk (-r) and where
  // positions go (-g:).
  NWorkThread(const char* incDirectory, const char* workDirectory, const char* outDirectory,
              const char* bindAddress, uint16_t port, platform::Event* stopAllEvent,
              const PacketRoad& road = PacketRoad(), const ServerLimits& limits = ServerLimits());
  ~NWorkThread() override;

  // Sets StopAllEvent, stops and deletes the clients still registered, then
  // stops the thread itself within milliseconds.
  int Stop(uint32_t milliseconds) override;

  uint32_t Run() override;

  // Closes the listener, the change notification and the synchronisation
  // objects. Only while the thread is not running.
  void ReleaseResources();

  // Console side of the command queue: appends a copy of the command and
  // sets QueueEvent. Waits at most kQueueLockLimit for QueueLock.
  QueueOutcome QueueCommand(const EGTS::Subrecord_COMMAND_DATA& command);

  // Console side of the live words (-r). The summaries of the connections,
  // in the order of their ids; empty when the registry cannot be had.
  std::vector<NTCPIPClientThread::Summary> ClientSummaries();
  // Hands a command to the connection named by its id text ("%.6X"), with
  // a fresh CID (in `cid`). `accepted` runs only when the connection takes
  // the command, before it can send it; it may take ConsoleLock.
  SendOutcome SendCommand(const std::string& clientId, const EGTS::Subrecord_COMMAND_DATA& command,
                          uint32_t& cid, const std::function<void()>& accepted);
  // Hands an object to upload to the connection named by its id text, as
  // SendCommand does a command.
  SendOutcome SendUpload(const std::string& clientId, NTCPIPClientThread::Upload upload,
                         const std::function<void()>& accepted);

  // Sets the thread up and starts it; 1 when it runs. Every failure is
  // logged.
  friend int StartWorkThread(NWorkThread& thread);

 private:
  // Finds the open connection named `clientId` and runs `hand` on it under
  // the registry's lock.
  SendOutcome HandToClient(
      const std::string& clientId,
      const std::function<NTCPIPClientThread::Queued(NTCPIPClientThread&)>& hand);
  enum class Source { kStop, kQueue, kStopAll, kDirectory, kAccept, kClientStop };

  using Clock = std::chrono::steady_clock;

  int SetUp();
  bool SetUpListener();
  bool SetUpDirectoryService();

  // The loop's events.
  void BuildWaitSet();
  void TakeCommands();
  // Takes every file it can; a file that could not be moved is tried again
  // when its pause has passed or a change names it (all of them when the
  // changes are unnamed).
  void ScanIncomingDirectory(const platform::ChangeNotification::Changes& changes);
  // Accepts the connections that wait now, between files of a scan, so that
  // terminals never wait for the incoming directory.
  void ServeWaitingConnections();
  // How long the loop may wait before a held file is due for its next try.
  std::chrono::milliseconds UntilNextFileTry() const;
  void AcceptConnection();
  // When every slot is taken: closes the connection that has gone longest
  // without a complete packet, if that is at least limits_.idle; false when
  // none has.
  bool MakeRoom();
  void CloseIdleClient(NTCPIPClientThread* client, int64_t quietFor);
  // Inserts the started client into the registry (which then owns it)
  // under ClientSyncObject, writes the line that names it and lets it go
  // on; false when the lock could not be had.
  bool RegisterClient(std::unique_ptr<NTCPIPClientThread>& client);
  void ReapClients();

  bool MoveToWorkDirectory(const std::string& name, Clock::time_point now);
  void WarnNotRegular(const std::string& name, platform::EntryKind kind);
  void ReportPacketFile(const std::string& name);
  void WriteCommandPacket(const EGTS::Subrecord_COMMAND_DATA& command);
  // `name` gets the outgoing file's name (the last one formed, if writing failed).
  bool WritePacketFile(const std::string& recipient, const EGTS::bytestream& packet,
                       std::string& name);
  std::string OutgoingPath(const std::string& recipient) const;
  void StopClients(std::chrono::milliseconds lockLimit);

  std::string workDirectory_;
  std::string incDirectory_;
  std::string outDirectory_;
  std::unique_ptr<platform::ChangeNotification> changeNotification_;
  platform::WaitSet waitSet_;
  std::vector<Source> waitSources_;  // what each position of waitSet_ is
  std::unique_ptr<platform::Mutex> QueueLock;
  std::unique_ptr<platform::Event> QueueEvent;
  std::unique_ptr<platform::Event> ClientStopEvent;
  std::unique_ptr<KServerSocket> listener_;
  std::string bindAddress_;
  uint16_t port_ = 0;
  std::deque<EGTS::Subrecord_COMMAND_DATA> commandQueue_;
  std::set<std::string> notRegularWarned_;  // names in the incoming directory
  // Files in the incoming directory that could not be moved yet.
  struct HeldFile {
    unsigned tries = 0;
    std::chrono::milliseconds pause{0};
    Clock::time_point nextTry;
  };
  std::map<std::string, HeldFile> heldFiles_;
  std::set<NTCPIPClientThread*> clients_;  // owned; guarded by ClientSyncObject
  uint32_t fileSequence_ = 1;
  CommandCounters counters_;  // packetId, commandId, recordNumber
  platform::Event* stopAllEvent_;
  ServerLimits limits_;
  // The last client id given out: every connection of the run gets its own.
  uint32_t lastClientId_ = 0;
  const PacketRoad road_;
  const ReportOptions& report_ = road_.report;
  pipeline::PacketPipeline pipeline_{road_};
  std::atomic<uint32_t> nextConnectionCommandId_{0};
};

int StartWorkThread(NWorkThread& thread);
