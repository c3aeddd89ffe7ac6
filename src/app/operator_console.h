#pragma once
// The operator console of server mode: "command" and one of seven platform
// commands become COMMAND_DATA subrecords queued for the work thread;
// "quit" or the end of input ends it.

#include <functional>
#include <string>
#include <vector>

#include "server/nwork_thread.h"
#include "service/commands/subrecord_command_data.h"

// Where accepted commands go. Readiness is asked before a command is
// echoed, Queue after.
class CommandDestination {
 public:
  virtual ~CommandDestination() = default;
  // kQueued when a command can be handed over now.
  virtual QueueOutcome Readiness() = 0;
  virtual QueueOutcome Queue(const EGTS::Subrecord_COMMAND_DATA& command) = 0;

  // The live words of -r: `clients` and `send <client id> <command> ...`.
  // Without -r a destination does not talk, and the words are not known.
  virtual bool Talks() const { return false; }
  // Conformance runs (-t:) take the unit's SMS answers: `sms <PDU hex>`.
  virtual bool TakesSms() const { return false; }
  virtual void Sms(const std::vector<uint8_t>& /*pdu*/) {}
  virtual std::vector<NTCPIPClientThread::Summary> Clients() { return {}; }
  // The CID the command was sent with goes to `cid`. `accepted` runs only
  // when the connection takes the command, before it can be sent.
  virtual SendOutcome SendToClient(const std::string& /*clientId*/,
                                   const EGTS::Subrecord_COMMAND_DATA& /*command*/,
                                   uint32_t& /*cid*/,
                                   const std::function<void()>& /*accepted*/) {
    return SendOutcome::kNoConnection;
  }
  // An object to upload, as SendToClient does a command.
  virtual SendOutcome UploadToClient(const std::string& /*clientId*/,
                                     NTCPIPClientThread::Upload /*upload*/,
                                     const std::function<void()>& /*accepted*/) {
    return SendOutcome::kNoConnection;
  }
};

// Handles one line as read from the console (at most 125 characters, with
// its line end when it has one) and prints what it has to say under
// ConsoleLock. Returns false when the line ends the console ("quit").
bool HandleConsoleLine(const std::string& line, CommandDestination& destination);

// Reads and handles lines from standard input until "quit", the end of
// input, or Shutdown closing the console input. True when "quit" ended it.
bool RunOperatorConsole(CommandDestination& destination);

// One line per connection for `clients`.
std::string ClientsText(const std::vector<NTCPIPClientThread::Summary>& clients);

// The text printed for a word that names no command.
std::string UnknownCommandText(const std::string& word);
