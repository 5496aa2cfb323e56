#include "live/AlsaMidiInput.h"

#include "live/AlsaMidiEvent.h"

#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <tuple>

namespace lw {

namespace {

constexpr const char* kDevice = "/dev/snd/seq";
constexpr char kSeparator = '\n';

// alsa-lib complains on stderr when the device is missing; saying so first keeps that
// quiet on every start of a machine without sound hardware.
std::string OpenSequencer(snd_seq_t*& seq) {
  if (access(kDevice, F_OK) != 0) {
    return std::string("No ALSA sequencer: ") + kDevice + " does not exist";
  }
  const int err = snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
  if (err < 0) {
    seq = nullptr;
    return std::string("The ALSA sequencer cannot be opened: ") + snd_strerror(err);
  }
  return {};
}

template <class Info, void (*Free)(Info*)> struct InfoDeleter {
  void operator()(Info* info) const { Free(info); }
};
using ClientInfo = std::unique_ptr<snd_seq_client_info_t,
                                   InfoDeleter<snd_seq_client_info_t, snd_seq_client_info_free>>;
using PortInfo =
    std::unique_ptr<snd_seq_port_info_t, InfoDeleter<snd_seq_port_info_t, snd_seq_port_info_free>>;

ClientInfo NewClientInfo() {
  snd_seq_client_info_t* info = nullptr;
  snd_seq_client_info_malloc(&info);
  return ClientInfo(info);
}

PortInfo NewPortInfo() {
  snd_seq_port_info_t* info = nullptr;
  snd_seq_port_info_malloc(&info);
  return PortInfo(info);
}

std::vector<AlsaPort> Sources(snd_seq_t* seq, int ownClient) {
  std::vector<AlsaPort> ports;
  ClientInfo client = NewClientInfo();
  PortInfo port = NewPortInfo();
  if (!client || !port) {
    return ports;
  }
  snd_seq_client_info_set_client(client.get(), -1);
  while (snd_seq_query_next_client(seq, client.get()) >= 0) {
    const int id = snd_seq_client_info_get_client(client.get());
    snd_seq_port_info_set_client(port.get(), id);
    snd_seq_port_info_set_port(port.get(), -1);
    while (snd_seq_query_next_port(seq, port.get()) >= 0) {
      if (IsMidiSource(id, snd_seq_port_info_get_capability(port.get()), ownClient)) {
        ports.push_back({id, snd_seq_port_info_get_port(port.get()),
                         AlsaPortName(snd_seq_client_info_get_name(client.get()),
                                      snd_seq_port_info_get_name(port.get()))});
      }
    }
  }
  // The sequencer answers in this order already; sorted, the list never depends on it.
  std::stable_sort(ports.begin(), ports.end(), [](const AlsaPort& a, const AlsaPort& b) {
    return std::tie(a.client, a.port) < std::tie(b.client, b.port);
  });
  return ports;
}

} // namespace

// The open client: its handle, its port and the descriptor that wakes the reader.
struct AlsaMidiInput::Client {
  snd_seq_t* seq = nullptr;
  int id = -1;
  int port = -1;
  int wake = -1;

  Client() = default;
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;
  ~Client() {
    if (wake >= 0) {
      close(wake);
    }
    if (seq != nullptr) {
      snd_seq_close(seq);
    }
  }
};

AlsaMidiInput::AlsaMidiInput() = default;

AlsaMidiInput::~AlsaMidiInput() {
  Close();
}

std::string AlsaMidiInput::Unavailable() {
  snd_seq_t* seq = nullptr;
  std::string why = OpenSequencer(seq);
  if (seq != nullptr) {
    snd_seq_close(seq);
  }
  return why;
}

std::vector<AlsaPort> AlsaMidiInput::ListPorts() {
  snd_seq_t* seq = nullptr;
  if (!OpenSequencer(seq).empty()) {
    return {};
  }
  std::vector<AlsaPort> ports = Sources(seq, snd_seq_client_id(seq));
  snd_seq_close(seq);
  return ports;
}

std::string AlsaMidiInput::Open(MidiMessageSink& sink, const std::set<std::string>& excludedNames) {
  Close();
  auto client = std::make_unique<Client>();
  if (std::string why = OpenSequencer(client->seq); !why.empty()) {
    return why;
  }
  snd_seq_set_client_name(client->seq, kClientName);
  client->id = snd_seq_client_id(client->seq);
  client->port = snd_seq_create_simple_port(
      client->seq, kPortName, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
      SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  if (client->port < 0) {
    return std::string("The ALSA sequencer refused LoopWren's MIDI port: ") +
           snd_strerror(client->port);
  }
  // Without the announcements MIDI still comes in; only a device plugged in later is
  // missed until the next opening.
  snd_seq_connect_from(client->seq, client->port, SND_SEQ_CLIENT_SYSTEM,
                       SND_SEQ_PORT_SYSTEM_ANNOUNCE);
  client->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (client->wake < 0) {
    return std::string("LoopWren cannot wait for MIDI: ") + std::strerror(errno);
  }
  {
    const std::lock_guard lock(subscriptions_);
    excluded_ = excludedNames;
    Resubscribe(*client);
  }
  try {
    reader_ = std::thread([this, &c = *client, &sink] { Read(c, sink); });
  } catch (const std::system_error& e) {
    return std::string("LoopWren cannot start reading MIDI: ") + e.what();
  }
  client_ = std::move(client);
  return {};
}

void AlsaMidiInput::Close() {
  if (client_ == nullptr) {
    return;
  }
  eventfd_write(client_->wake, 1);
  reader_.join();
  client_.reset();
}

void AlsaMidiInput::SetExcluded(const std::set<std::string>& excludedNames) {
  const std::lock_guard lock(subscriptions_);
  excluded_ = excludedNames;
  if (client_ != nullptr) {
    Resubscribe(*client_);
  }
}

int AlsaMidiInput::clientId() const {
  return client_ != nullptr ? client_->id : -1;
}

// Subscribing twice, or letting go of a port never subscribed, fails harmlessly: the
// sequencer's subscriptions are the record, none is kept here.
void AlsaMidiInput::Resubscribe(Client& client) {
  for (const AlsaPort& source : Sources(client.seq, client.id)) {
    if (excluded_.contains(source.name)) {
      snd_seq_disconnect_from(client.seq, client.port, source.client, source.port);
    } else {
      snd_seq_connect_from(client.seq, client.port, source.client, source.port);
    }
  }
}

void AlsaMidiInput::PortStarted(Client& client, int clientId, int port) {
  ClientInfo clientInfo = NewClientInfo();
  PortInfo portInfo = NewPortInfo();
  const std::lock_guard lock(subscriptions_);
  if (!clientInfo || !portInfo ||
      snd_seq_get_any_client_info(client.seq, clientId, clientInfo.get()) < 0 ||
      snd_seq_get_any_port_info(client.seq, clientId, port, portInfo.get()) < 0 ||
      !IsMidiSource(clientId, snd_seq_port_info_get_capability(portInfo.get()), client.id)) {
    return;
  }
  const std::string name = AlsaPortName(snd_seq_client_info_get_name(clientInfo.get()),
                                        snd_seq_port_info_get_name(portInfo.get()));
  if (!excluded_.contains(name)) {
    snd_seq_connect_from(client.seq, client.port, clientId, port);
  }
}

void AlsaMidiInput::Read(Client& client, MidiMessageSink& sink) noexcept {
  // The wake-up first, then the sequencer's own descriptors (one, in practice).
  std::vector<pollfd> fds(1);
  fds[0] = {client.wake, POLLIN, 0};
  const int count = snd_seq_poll_descriptors_count(client.seq, POLLIN);
  if (count > 0) {
    fds.resize(1 + static_cast<std::size_t>(count));
    snd_seq_poll_descriptors(client.seq, &fds[1], static_cast<unsigned>(count), POLLIN);
  }
  EventMessages messages;
  for (;;) {
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return;
    }
    if (fds[0].revents != 0) {
      return;
    }
    const bool broken = std::any_of(fds.begin() + 1, fds.end(), [](const pollfd& fd) {
      return (fd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    });
    // Everything the sequencer holds is read before waiting again: alsa-lib buffers
    // events the descriptor no longer shows.
    for (;;) {
      snd_seq_event_t* event = nullptr;
      const int left = snd_seq_event_input(client.seq, &event);
      if (left == -ENOSPC) {
        continue; // the input queue overflowed and events were lost; the rest still count
      }
      if (left == -EAGAIN || left == -EINTR) {
        break; // all read
      }
      if (left < 0 || event == nullptr) {
        return; // an error that would only come again
      }
      if (event->source.client == SND_SEQ_CLIENT_SYSTEM) {
        if (event->type == SND_SEQ_EVENT_PORT_START) {
          PortStarted(client, event->data.addr.client, event->data.addr.port);
        }
        continue;
      }
      const std::size_t n = ToMidiMessages(*event, messages);
      for (std::size_t i = 0; i < n; ++i) {
        sink.Receive(messages[i]);
      }
    }
    if (broken) {
      return; // the sequencer is gone: nothing more will come
    }
  }
}

std::string AlsaPortName(std::string_view clientName, std::string_view portName) {
  std::string name(clientName);
  name += ": ";
  name += portName;
  return name;
}

bool IsMidiSource(int client, unsigned capability, int ownClient) {
  constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
  return client != SND_SEQ_CLIENT_SYSTEM && client != ownClient &&
         (capability & kReadable) == kReadable && (capability & SND_SEQ_PORT_CAP_NO_EXPORT) == 0;
}

std::string JoinPortNames(const std::set<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) {
    if (name.empty() || name.find(kSeparator) != std::string::npos) {
      continue;
    }
    if (!joined.empty()) {
      joined += kSeparator;
    }
    joined += name;
  }
  return joined;
}

std::set<std::string> SplitPortNames(std::string_view joined) {
  std::set<std::string> names;
  while (!joined.empty()) {
    const std::size_t end = std::min(joined.find(kSeparator), joined.size());
    if (end > 0) {
      names.emplace(joined.substr(0, end));
    }
    joined.remove_prefix(std::min(end + 1, joined.size()));
  }
  return names;
}

} // namespace lw
