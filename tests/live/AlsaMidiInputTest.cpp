// MIDI from the ALSA sequencer: the events converted by hand, the choice of ports kept in
// the settings, and, where the machine has a sequencer, LoopWren's client fed by a client
// of the test's as a keyboard or a pad controller would feed it.
#include "live/AlsaMidiInput.h"
#include "live/AlsaMidiEvent.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace lw {
namespace {

using namespace std::chrono_literals;

constexpr const char* kDevice = "/dev/snd/seq";
constexpr unsigned kReadable = SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ;
constexpr unsigned kWritable = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;

bool HaveSequencer() {
  return std::filesystem::exists(kDevice);
}

#define SKIP_WITHOUT_SEQUENCER()                                                                   \
  if (!HaveSequencer()) {                                                                          \
    GTEST_SKIP() << "no ALSA sequencer: " << kDevice << " does not exist";                         \
  }

snd_seq_event_t Event(snd_seq_event_type_t type) {
  snd_seq_event_t event{};
  event.type = type;
  return event;
}

snd_seq_event_t Note(snd_seq_event_type_t type, unsigned channel, unsigned note,
                     unsigned velocity) {
  snd_seq_event_t event = Event(type);
  event.data.note.channel = static_cast<unsigned char>(channel);
  event.data.note.note = static_cast<unsigned char>(note);
  event.data.note.velocity = static_cast<unsigned char>(velocity);
  return event;
}

snd_seq_event_t Control(snd_seq_event_type_t type, unsigned channel, unsigned param, int value) {
  snd_seq_event_t event = Event(type);
  event.data.control.channel = static_cast<unsigned char>(channel);
  event.data.control.param = param;
  event.data.control.value = value;
  return event;
}

std::vector<MidiMessage> Converted(const snd_seq_event_t& event) {
  EventMessages out{};
  const std::size_t n = ToMidiMessages(event, out);
  EXPECT_LE(n, out.size());
  return {out.begin(), out.begin() + static_cast<std::ptrdiff_t>(std::min(n, out.size()))};
}

std::string Shown(const std::vector<MidiMessage>& messages) {
  std::string text;
  for (const MidiMessage& m : messages) {
    char part[16];
    std::snprintf(part, sizeof part, "%02X %02X %02X; ", m.status, m.data1, m.data2);
    text += part;
  }
  return text;
}

TEST(AlsaMidiEventTest, EachEventBecomesTheBytesAMidiCableWouldCarry) {
  struct Case {
    const char* what;
    snd_seq_event_t event;
    std::vector<MidiMessage> expected;
  };
  const std::vector<Case> cases = {
      {"note on", Note(SND_SEQ_EVENT_NOTEON, 0, 60, 100), {{0x90, 60, 100}}},
      {"note on at velocity 0 stays one", Note(SND_SEQ_EVENT_NOTEON, 5, 60, 0), {{0x95, 60, 0}}},
      {"note on, last channel", Note(SND_SEQ_EVENT_NOTEON, 15, 127, 127), {{0x9F, 127, 127}}},
      {"channel out of range keeps its low bits",
       Note(SND_SEQ_EVENT_NOTEON, 19, 60, 1),
       {{0x93, 60, 1}}},
      {"note number out of range keeps its low bits, velocity is clamped",
       Note(SND_SEQ_EVENT_NOTEON, 0, 200, 200),
       {{0x90, 72, 127}}},
      {"note off", Note(SND_SEQ_EVENT_NOTEOFF, 2, 64, 30), {{0x82, 64, 30}}},
      {"key pressure", Note(SND_SEQ_EVENT_KEYPRESS, 1, 60, 90), {{0xA1, 60, 90}}},
      {"control change", Control(SND_SEQ_EVENT_CONTROLLER, 9, 7, 100), {{0xB9, 7, 100}}},
      {"control value below 0", Control(SND_SEQ_EVENT_CONTROLLER, 0, 1, -5), {{0xB0, 1, 0}}},
      {"control value above 127, number above 127",
       Control(SND_SEQ_EVENT_CONTROLLER, 0, 130, 1000),
       {{0xB0, 2, 127}}},
      {"program change", Control(SND_SEQ_EVENT_PGMCHANGE, 0, 0, 5), {{0xC0, 5, 0}}},
      {"program out of range", Control(SND_SEQ_EVENT_PGMCHANGE, 4, 0, 130), {{0xC4, 2, 0}}},
      {"channel pressure", Control(SND_SEQ_EVENT_CHANPRESS, 3, 0, 64), {{0xD3, 64, 0}}},
      {"channel pressure above 127", Control(SND_SEQ_EVENT_CHANPRESS, 3, 0, 300), {{0xD3, 127, 0}}},
      {"bend centred", Control(SND_SEQ_EVENT_PITCHBEND, 0, 0, 0), {{0xE0, 0x00, 0x40}}},
      {"bend one up", Control(SND_SEQ_EVENT_PITCHBEND, 0, 0, 1), {{0xE0, 0x01, 0x40}}},
      {"bend lowest", Control(SND_SEQ_EVENT_PITCHBEND, 6, 0, -8192), {{0xE6, 0x00, 0x00}}},
      {"bend highest", Control(SND_SEQ_EVENT_PITCHBEND, 0, 0, 8191), {{0xE0, 0x7F, 0x7F}}},
      {"bend far above", Control(SND_SEQ_EVENT_PITCHBEND, 0, 0, INT_MAX), {{0xE0, 0x7F, 0x7F}}},
      {"bend far below", Control(SND_SEQ_EVENT_PITCHBEND, 0, 0, INT_MIN), {{0xE0, 0x00, 0x00}}},
      {"14-bit controller: coarse, then fine",
       Control(SND_SEQ_EVENT_CONTROL14, 1, 1, 0x1234),
       {{0xB1, 1, 0x24}, {0xB1, 33, 0x34}}},
      {"14-bit controller above range",
       Control(SND_SEQ_EVENT_CONTROL14, 0, 31, 20000),
       {{0xB0, 31, 0x7F}, {0xB0, 63, 0x7F}}},
      {"14-bit controller with no fine half",
       Control(SND_SEQ_EVENT_CONTROL14, 0, 64, 100),
       {{0xB0, 64, 100}}},
      {"NRPN",
       Control(SND_SEQ_EVENT_NONREGPARAM, 2, 0x0102, 0x3FFF),
       {{0xB2, 99, 2}, {0xB2, 98, 2}, {0xB2, 6, 0x7F}, {0xB2, 38, 0x7F}}},
      {"RPN",
       Control(SND_SEQ_EVENT_REGPARAM, 0, 0, 0x2000),
       {{0xB0, 101, 0}, {0xB0, 100, 0}, {0xB0, 6, 0x40}, {0xB0, 38, 0}}},
      {"RPN value below 0",
       Control(SND_SEQ_EVENT_REGPARAM, 0, 1, -1),
       {{0xB0, 101, 0}, {0xB0, 100, 1}, {0xB0, 6, 0}, {0xB0, 38, 0}}},
      {"song position, low half first",
       Control(SND_SEQ_EVENT_SONGPOS, 0, 0, 0x1234),
       {{0xF2, 0x34, 0x24}}},
      {"song position out of range",
       Control(SND_SEQ_EVENT_SONGPOS, 0, 0, 0x4000),
       {{0xF2, 0x7F, 0x7F}}},
      {"clock", Event(SND_SEQ_EVENT_CLOCK), {{0xF8, 0, 0}}},
      {"start", Event(SND_SEQ_EVENT_START), {{0xFA, 0, 0}}},
      {"continue", Event(SND_SEQ_EVENT_CONTINUE), {{0xFB, 0, 0}}},
      {"stop", Event(SND_SEQ_EVENT_STOP), {{0xFC, 0, 0}}},
  };
  for (const Case& c : cases) {
    const std::vector<MidiMessage> got = Converted(c.event);
    EXPECT_EQ(got, c.expected) << c.what << ": got " << Shown(got) << "expected "
                               << Shown(c.expected);
  }
  EXPECT_FALSE(Converted(Note(SND_SEQ_EVENT_NOTEON, 0, 60, 0)).at(0).isNoteOn());
}

TEST(AlsaMidiEventTest, EverythingElseGivesNoMessage) {
  snd_seq_event_t announce = Event(SND_SEQ_EVENT_PORT_START);
  announce.source.client = SND_SEQ_CLIENT_SYSTEM;
  announce.data.addr = {20, 0};
  const std::vector<snd_seq_event_t> events = {
      Note(SND_SEQ_EVENT_NOTE, 0, 60, 100), // a duration the sequencer would have to time
      Event(SND_SEQ_EVENT_SYSEX),
      Event(SND_SEQ_EVENT_SENSING),
      Event(SND_SEQ_EVENT_RESET),
      Event(SND_SEQ_EVENT_TUNE_REQUEST),
      Event(SND_SEQ_EVENT_TEMPO),
      Event(SND_SEQ_EVENT_ECHO),
      Event(SND_SEQ_EVENT_CLIENT_START),
      Event(SND_SEQ_EVENT_PORT_SUBSCRIBED),
      Event(SND_SEQ_EVENT_USR0),
      Event(SND_SEQ_EVENT_NONE),
      announce,
  };
  for (const snd_seq_event_t& event : events) {
    EXPECT_EQ(Converted(event), std::vector<MidiMessage>{}) << "event type " << int{event.type};
  }
}

TEST(AlsaMidiInputTest, OnlyOtherProgramsPortsThatCanBeReadAreSources) {
  struct Case {
    int client;
    unsigned capability;
    int own;
    bool source;
  };
  const Case cases[] = {
      {20, kReadable, 128, true},
      {20, kReadable | kWritable, 128, true},
      {130, kReadable, -1, true},
      {20, SND_SEQ_PORT_CAP_READ, 128, false},      // read only by its own program
      {20, SND_SEQ_PORT_CAP_SUBS_READ, 128, false}, // nothing to read
      {20, kWritable, 128, false},
      {SND_SEQ_CLIENT_SYSTEM, kReadable, 128, false}, // the timer and the announcements
      {128, kReadable, 128, false},
      {20, kReadable | SND_SEQ_PORT_CAP_NO_EXPORT, 128, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsMidiSource(c.client, c.capability, c.own), c.source)
        << "client " << c.client << ", capability " << c.capability << ", own " << c.own;
  }
  EXPECT_EQ(AlsaPortName("nanoKEY2", "nanoKEY2 KEYBOARD"), "nanoKEY2: nanoKEY2 KEYBOARD");
}

TEST(AlsaMidiInputTest, TheExcludedPortsGoThroughTheSettingsAndBack) {
  const std::set<std::string> names = {"Midi Through: Midi Through Port-0",
                                       "nanoKEY2: nanoKEY2 nanoKEY2 _ KEYBOARD",
                                       "Pads & Co: pads 1", "Clav\xC3\xADs: \xE2\x99\xAA", "x"};
  EXPECT_EQ(SplitPortNames(JoinPortNames(names)), names);
  EXPECT_EQ(JoinPortNames({"b: 1", "a: 2"}), "a: 2\nb: 1");
  EXPECT_EQ(JoinPortNames({}), "");
  EXPECT_EQ(JoinPortNames({"a", "two\nlines", ""}), "a");
  EXPECT_EQ(SplitPortNames(""), std::set<std::string>{});
  EXPECT_EQ(SplitPortNames("\n"), std::set<std::string>{});
  EXPECT_EQ(SplitPortNames("a\n\nb\n"), (std::set<std::string>{"a", "b"}));
  EXPECT_EQ(SplitPortNames("a\na"), std::set<std::string>{"a"});
}

// Collects what the reader hands over, for the test's thread to wait for.
class Collected : public MidiMessageSink {
public:
  void Receive(const MidiMessage& message) noexcept override {
    const std::lock_guard lock(mutex_);
    messages_.push_back(message);
  }
  [[nodiscard]] std::vector<MidiMessage> messages() const {
    const std::lock_guard lock(mutex_);
    return messages_;
  }
  [[nodiscard]] bool Heard(const MidiMessage& message) const {
    const std::lock_guard lock(mutex_);
    return std::find(messages_.begin(), messages_.end(), message) != messages_.end();
  }
  bool WaitFor(const MidiMessage& message, std::chrono::milliseconds limit = 5s) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!Heard(message)) {
      if (std::chrono::steady_clock::now() > deadline) {
        return false;
      }
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }

private:
  mutable std::mutex mutex_;
  std::vector<MidiMessage> messages_;
};

TEST(AlsaMidiInputTest, WithoutASequencerItSaysWhyAndStaysClosed) {
  if (HaveSequencer()) {
    GTEST_SKIP() << "this machine has an ALSA sequencer: " << kDevice << " exists";
  }
  const std::string why = "No ALSA sequencer: /dev/snd/seq does not exist";
  EXPECT_EQ(AlsaMidiInput::Unavailable(), why);
  EXPECT_TRUE(AlsaMidiInput::ListPorts().empty());
  Collected sink;
  AlsaMidiInput input;
  EXPECT_EQ(input.Open(sink, {}), why);
  EXPECT_FALSE(input.isOpen());
  EXPECT_EQ(input.clientId(), -1);
  input.SetExcluded({"a: b"});
  input.Close();
  input.Close();
  EXPECT_FALSE(input.isOpen());
}

// A program of the test's with ports MIDI can be read from, as a controller has them.
class Sender {
public:
  Sender() {
    if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, 0) < 0) {
      seq_ = nullptr;
      return;
    }
    name_ = "LoopWren test " + std::to_string(getpid());
    snd_seq_set_client_name(seq_, name_.c_str());
  }
  ~Sender() {
    if (seq_ != nullptr) {
      snd_seq_close(seq_);
    }
  }
  Sender(const Sender&) = delete;
  Sender& operator=(const Sender&) = delete;

  [[nodiscard]] bool up() const { return seq_ != nullptr; }
  [[nodiscard]] snd_seq_t* seq() const { return seq_; }
  [[nodiscard]] int id() const { return snd_seq_client_id(seq_); }
  [[nodiscard]] std::string Name(const std::string& port) const { return name_ + ": " + port; }

  int AddPort(const char* name, unsigned capability = kReadable) {
    return snd_seq_create_simple_port(
        seq_, name, capability, SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
  }
  // To every subscriber of `port`, at once.
  void Send(int port, snd_seq_event_t event) {
    snd_seq_ev_set_source(&event, port);
    snd_seq_ev_set_subs(&event);
    snd_seq_ev_set_direct(&event);
    snd_seq_event_output_direct(seq_, &event);
  }

private:
  snd_seq_t* seq_ = nullptr;
  std::string name_;
};

// Every source but the sender's, so that nothing else playing on the machine is heard.
std::set<std::string> AllBut(const Sender& sender, std::set<std::string> excluded = {}) {
  for (const AlsaPort& port : AlsaMidiInput::ListPorts()) {
    if (port.client != sender.id()) {
      excluded.insert(port.name);
    }
  }
  return excluded;
}

MidiMessage NoteOn(uint8_t note) {
  return {0x90, note, 100};
}

snd_seq_event_t NoteOnEvent(uint8_t note) {
  return Note(SND_SEQ_EVENT_NOTEON, 0, note, 100);
}

TEST(AlsaMidiInputTest, ListsThePortsOfOtherProgramsThatCanBeRead) {
  SKIP_WITHOUT_SEQUENCER();
  EXPECT_EQ(AlsaMidiInput::Unavailable(), "");
  Sender sender;
  ASSERT_TRUE(sender.up());
  const int keys = sender.AddPort("keys");
  ASSERT_GE(sender.AddPort("sink only", kWritable), 0);
  ASSERT_GE(sender.AddPort("private", kReadable | SND_SEQ_PORT_CAP_NO_EXPORT), 0);
  const std::vector<AlsaPort> ports = AlsaMidiInput::ListPorts();
  EXPECT_NE(std::find(ports.begin(), ports.end(), AlsaPort{sender.id(), keys, sender.Name("keys")}),
            ports.end());
  for (std::size_t i = 0; i < ports.size(); ++i) {
    EXPECT_NE(ports[i].client, SND_SEQ_CLIENT_SYSTEM) << ports[i].name;
    EXPECT_NE(ports[i].name, sender.Name("sink only"));
    EXPECT_NE(ports[i].name, sender.Name("private"));
    if (i > 0) {
      EXPECT_LT(std::tie(ports[i - 1].client, ports[i - 1].port),
                std::tie(ports[i].client, ports[i].port));
    }
  }
}

TEST(AlsaMidiInputTest, HearsEverySourceButTheExcludedOnes) {
  SKIP_WITHOUT_SEQUENCER();
  Sender sender;
  ASSERT_TRUE(sender.up());
  const int a = sender.AddPort("a");
  const int b = sender.AddPort("b");
  Collected sink;
  AlsaMidiInput input;
  ASSERT_EQ(input.Open(sink, AllBut(sender, {sender.Name("b")})), "");
  EXPECT_TRUE(input.isOpen());
  sender.Send(b, NoteOnEvent(61));
  sender.Send(a, NoteOnEvent(60));
  sender.Send(a, Control(SND_SEQ_EVENT_CONTROLLER, 1, 7, 99));
  sender.Send(a, Control(SND_SEQ_EVENT_PITCHBEND, 0, 0, -8192));
  ASSERT_TRUE(sink.WaitFor({0xE0, 0, 0}));
  EXPECT_EQ(sink.messages(), (std::vector<MidiMessage>{NoteOn(60), {0xB1, 7, 99}, {0xE0, 0, 0}}));

  input.SetExcluded(AllBut(sender));
  sender.Send(b, NoteOnEvent(62));
  EXPECT_TRUE(sink.WaitFor(NoteOn(62)));
  input.SetExcluded(AllBut(sender, {sender.Name("a")}));
  sender.Send(a, NoteOnEvent(63));
  sender.Send(b, NoteOnEvent(64));
  EXPECT_TRUE(sink.WaitFor(NoteOn(64)));
  EXPECT_FALSE(sink.Heard(NoteOn(63)));
  EXPECT_FALSE(sink.Heard(NoteOn(61)));
}

TEST(AlsaMidiInputTest, SubscribesToAPortThatAppearsLaterUnlessExcluded) {
  SKIP_WITHOUT_SEQUENCER();
  Collected sink;
  AlsaMidiInput input;
  Sender sender; // named before the input opens, so that its excluded name is known
  ASSERT_TRUE(sender.up());
  ASSERT_EQ(input.Open(sink, AllBut(sender, {sender.Name("excluded")})), "");
  const int excluded = sender.AddPort("excluded");
  const int later = sender.AddPort("later");
  // The announcement reaches the reader a moment after the port is made.
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!sink.Heard(NoteOn(70)) && std::chrono::steady_clock::now() < deadline) {
    sender.Send(later, NoteOnEvent(70));
    std::this_thread::sleep_for(5ms);
  }
  ASSERT_TRUE(sink.Heard(NoteOn(70))) << "a port made after opening is never heard";
  sender.Send(excluded, NoteOnEvent(71));
  sender.Send(later, NoteOnEvent(72));
  EXPECT_TRUE(sink.WaitFor(NoteOn(72)));
  EXPECT_FALSE(sink.Heard(NoteOn(71)));
}

TEST(AlsaMidiInputTest, OtherProgramsCanConnectToItsPort) {
  SKIP_WITHOUT_SEQUENCER();
  Sender sender;
  ASSERT_TRUE(sender.up());
  const int pads = sender.AddPort("pads");
  Collected sink;
  AlsaMidiInput input;
  ASSERT_EQ(input.Open(sink, AllBut(sender, {sender.Name("pads")})), "");

  snd_seq_client_info_t* client = nullptr;
  snd_seq_client_info_malloc(&client);
  ASSERT_GE(snd_seq_get_any_client_info(sender.seq(), input.clientId(), client), 0);
  EXPECT_STREQ(snd_seq_client_info_get_name(client), "LoopWren");
  snd_seq_client_info_free(client);
  snd_seq_port_info_t* port = nullptr;
  snd_seq_port_info_malloc(&port);
  snd_seq_port_info_set_client(port, input.clientId());
  snd_seq_port_info_set_port(port, -1);
  int midiIn = -1;
  while (snd_seq_query_next_port(sender.seq(), port) >= 0) {
    if (std::string(snd_seq_port_info_get_name(port)) == "midi_in") {
      midiIn = snd_seq_port_info_get_port(port);
      EXPECT_EQ(snd_seq_port_info_get_capability(port) & kWritable, kWritable);
    }
  }
  snd_seq_port_info_free(port);
  ASSERT_GE(midiIn, 0) << "no port midi_in";

  ASSERT_GE(snd_seq_connect_to(sender.seq(), pads, input.clientId(), midiIn), 0);
  sender.Send(pads, NoteOnEvent(80));
  EXPECT_TRUE(sink.WaitFor(NoteOn(80)));
}

TEST(AlsaMidiInputTest, ClosesTwiceAndOpensAgain) {
  SKIP_WITHOUT_SEQUENCER();
  Sender sender;
  ASSERT_TRUE(sender.up());
  const int keys = sender.AddPort("keys");
  Collected sink;
  AlsaMidiInput input;
  ASSERT_EQ(input.Open(sink, AllBut(sender)), "");
  input.Close();
  input.Close();
  EXPECT_FALSE(input.isOpen());
  EXPECT_EQ(input.clientId(), -1);
  sender.Send(keys, NoteOnEvent(90));
  ASSERT_EQ(input.Open(sink, AllBut(sender)), "");
  sender.Send(keys, NoteOnEvent(91));
  EXPECT_TRUE(sink.WaitFor(NoteOn(91)));
  EXPECT_FALSE(sink.Heard(NoteOn(90)));
}

} // namespace
} // namespace lw
