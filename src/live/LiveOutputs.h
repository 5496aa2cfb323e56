#pragma once

#include "audio_out/PlayControl.h"
#include "audio_out/SamplePreview.h"
#include "live/AlsaMidiInput.h"
#include "live/LinkSession.h"
#include "live/LiveInput.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>

namespace lw {

struct Engine;
class JackOutput;
class LivePlayback;
class WaveOut;

// Which live output plays: Auto takes JACK when a server already runs (it never starts
// one) and SDL otherwise.
enum class OutputChoice { Auto, Jack, Sdl };

// Whose time the song keeps: its own tempo, the JACK transport's (following it), its own
// published as the JACK transport's (its timebase master), or an incoming MIDI clock's.
// JACK's choices hold while JACK plays.
enum class SyncChoice { Own, FollowTransport, LeadTransport, FollowClock };

// What "Audio & MIDI" chooses: the output, the ALSA sequencer ports not listened to, and
// whose time the song keeps.
struct AudioMidiChoice {
  OutputChoice output = OutputChoice::Auto;
  std::set<std::string> excludedPorts;
  SyncChoice sync = SyncChoice::Own;
  bool link = false; // Ableton Link on
};

// How the settings store a sync choice ("own", "follow", "master", "clock"), and back;
// anything else reads as Own.
[[nodiscard]] std::string_view SyncChoiceKey(SyncChoice choice);
[[nodiscard]] SyncChoice SyncChoiceFromKey(std::string_view key);

// How the settings store a choice ("auto", "jack", "sdl"), and back; anything else reads
// as Auto.
[[nodiscard]] std::string_view OutputChoiceKey(OutputChoice choice);
[[nodiscard]] OutputChoice OutputChoiceFromKey(std::string_view key);

// The live outputs of the one engine, and the one of them the play button drives: the
// wave-output queue through SDL (LivePlayback) or the JACK client. Switching keeps the
// song and, when it plays, keeps it playing from where it is. When the JACK server goes
// away the JACK client is closed and SDL takes over, playing on if it played. Interface
// thread.
class LiveOutputs : public PlayControl, public SamplePreviewer {
public:
  enum class Active { Sdl, Jack };

  // `jackServer` names the JACK server to join (empty: the default one).
  LiveOutputs(Engine& engine, WaveOut& waveOut, LivePlayback& sdl, std::string jackServer = {});
  ~LiveOutputs() override;
  LiveOutputs(const LiveOutputs&) = delete;
  LiveOutputs& operator=(const LiveOutputs&) = delete;

  // The choice OpenOutput opens.
  void Choose(OutputChoice choice) { choice_ = choice; }
  // Switches to `choice` at once. Returns what the user is to be told when JACK was
  // asked for by name and cannot be had (SDL plays instead), else nothing.
  std::string Use(OutputChoice choice);
  [[nodiscard]] OutputChoice choice() const { return choice_; }
  [[nodiscard]] Active active() const { return active_; }
  // The output in use, in a line for the settings dialog: JACK's period and xruns.
  [[nodiscard]] std::string Describe() const;
  [[nodiscard]] uint64_t xruns() const;

  // Run every few hundred milliseconds by the window: when the JACK server has gone,
  // falls back to SDL and returns what to tell the user. Also returns, once, why the
  // chosen JACK output could not open at start-up. Otherwise nothing.
  std::string Poll();

  void OpenOutput() override;
  void PlayBtnClick() override;
  [[nodiscard]] std::optional<OutputCursor> songCursor() const override;
  void FormClose() override;
  // JACK keeps its client while the program is in the background; SDL lets its device go
  // while stopped.
  void DeactivatePlayBack() override;
  void ReactivatePlayBack() override;
  // Previews play through the SDL output; while JACK has the engine they are not heard.
  void Preview(PreviewSound sound) override;
  void StopPreview() override;

  // Where MIDI comes in, whichever output plays: JACK's own port, and any source handing
  // messages over (the ALSA sequencer). Its reports are the interface's to read.
  [[nodiscard]] LiveInput& input() { return input_; }
  // Run every few milliseconds by the window. Under SDL, whose blocks are rendered far
  // ahead, handed-over notes are played here, at the next block rendered, and recorded
  // where the listener was; under JACK its process callback plays them, on their frames.
  void PumpInput();
  // Listens to the ALSA sequencer's sources but `excluded`, whichever output plays;
  // where there is no sequencer, says why (also in MidiStatus). Interface thread.
  std::string OpenMidi(const std::set<std::string>& excluded);
  void SetExcludedPorts(const std::set<std::string>& excluded);
  // Whose time the song keeps, now and whenever JACK opens again. Interface thread.
  void SetSync(SyncChoice sync);
  [[nodiscard]] SyncChoice sync() const { return sync_; }
  // Ableton Link on or off (it leads while JACK plays). Interface thread.
  void SetLink(bool on);
  [[nodiscard]] bool linkOn() const { return link_.enabled(); }
  [[nodiscard]] LinkSession& link() { return link_; }
  // The tempo buttons while a Link session leads: its tempo moves by `delta`.
  void NudgeLeaderTempo(double delta);
  // Who leads the song's time now, for the window: nobody (the song's own tempo), or the
  // JACK transport or the MIDI clock, with the tempo it follows. Interface thread.
  struct Leader {
    std::string who; // empty: nobody
    double bpm = 0;
  };
  [[nodiscard]] Leader leader() const;
  [[nodiscard]] const std::set<std::string>& excludedPorts() const { return excludedPorts_; }

  // The JACK client while JACK plays, else null. For tests.
  [[nodiscard]] JackOutput* jack() const;

private:
  // Tries JACK; on success SDL hands the engine over. Returns why not otherwise.
  std::string SwitchToJack();
  // Closes the JACK client and lets SDL play on.
  void SwitchToSdl();

  Engine& engine_;
  WaveOut& waveOut_;
  LivePlayback& sdl_;
  std::string jackServer_;
  LiveInput input_;
  LinkSession link_;
  AlsaMidiInput alsa_; // after input_, its sink, so it is closed first
  std::set<std::string> excludedPorts_;
  SyncChoice sync_ = SyncChoice::Own;
  std::unique_ptr<JackOutput> jack_;
  OutputChoice choice_ = OutputChoice::Auto;
  Active active_ = Active::Sdl;
  bool closed_ = false;
  std::string pending_; // told by the next Poll
};

} // namespace lw
