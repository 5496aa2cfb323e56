#pragma once

#include "live/MidiReader.h"

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace lw {

// A sequencer port another program or a device offers MIDI from.
struct AlsaPort {
  int client = 0;
  int port = 0;
  std::string name; // "Client name: Port name", the name a choice of ports is kept by

  friend bool operator==(const AlsaPort&, const AlsaPort&) = default;
};

// MIDI from the ALSA sequencer, for machines where no JACK server runs. The client is
// "LoopWren" with one input port, "midi_in", which other programs may connect to as well.
// It subscribes to every source but the ones the user turned off, named in an excluded
// set: so a controller plugged in later, announced by the sequencer, is heard at once.
//
// A reader thread of its own waits on the sequencer and hands each event, converted to
// MIDI messages, to the sink. Open, Close and SetExcluded belong to the interface thread.
class AlsaMidiInput {
public:
  static constexpr const char* kClientName = "LoopWren";
  static constexpr const char* kPortName = "midi_in";

  AlsaMidiInput();
  ~AlsaMidiInput();
  AlsaMidiInput(const AlsaMidiInput&) = delete;
  AlsaMidiInput& operator=(const AlsaMidiInput&) = delete;

  // Empty when the sequencer can be opened, else why not, in words for the user. Any
  // thread.
  [[nodiscard]] static std::string Unavailable();
  // Every port of another program or device that MIDI can be read from, by client and
  // port number; none where the sequencer cannot be opened. Any thread.
  [[nodiscard]] static std::vector<AlsaPort> ListPorts();

  // Opens the client, subscribes to every source whose name is not in `excludedNames`
  // and starts reading into `sink`, which must outlive the input's opening. Returns an
  // empty string on success, else why not, with everything closed again. An open input
  // is closed first.
  std::string Open(MidiMessageSink& sink, const std::set<std::string>& excludedNames);
  // Stops the reader and leaves the sequencer; afterwards the sink hears nothing. Safe
  // on a closed input.
  void Close();
  [[nodiscard]] bool isOpen() const { return client_ != nullptr; }
  // Subscribes to the sources no longer excluded and lets go of the ones now excluded.
  void SetExcluded(const std::set<std::string>& excludedNames);
  // The sequencer's number for the open client (-1 when closed), for tests that reach
  // it from outside.
  [[nodiscard]] int clientId() const;

private:
  struct Client;

  // The reader thread: waits for events until Close wakes it.
  void Read(Client& client, MidiMessageSink& sink) noexcept;
  // Makes the subscriptions match excluded_. Holds subscriptions_.
  void Resubscribe(Client& client);
  // A port the sequencer announced: subscribed unless excluded. The reader thread.
  void PortStarted(Client& client, int clientId, int port);

  std::unique_ptr<Client> client_;
  std::thread reader_;
  // The reader takes it only for a port announced, never while delivering to the sink.
  std::mutex subscriptions_;
  std::set<std::string> excluded_;
};

// A sequencer port's name as the user sees it and a choice of ports is kept by.
[[nodiscard]] std::string AlsaPortName(std::string_view clientName, std::string_view portName);
// Whether a port can be read and subscribed to, and is neither the sequencer's own (the
// system timer and announcements) nor one of `ownClient`'s, nor private to its program.
[[nodiscard]] bool IsMidiSource(int client, unsigned capability, int ownClient);

// The excluded ports as one setting and back. Sequencer names are single lines, so a line
// break separates them; a name holding one anyway could not come back and is left out.
[[nodiscard]] std::string JoinPortNames(const std::set<std::string>& names);
[[nodiscard]] std::set<std::string> SplitPortNames(std::string_view joined);

} // namespace lw
