#include "live/LiveOutputs.h"

#include "audio_out/Playback.h"
#include "live/JackOutput.h"

#include <cstdio>
#include <utility>

namespace lw {

namespace {

std::string JackUnavailable(const std::string& why) {
  return "The JACK output cannot be used: " + why +
         ".\nLoopWren plays through the system's sound output (SDL) instead.";
}

} // namespace

std::string_view OutputChoiceKey(OutputChoice choice) {
  switch (choice) {
  case OutputChoice::Jack:
    return "jack";
  case OutputChoice::Sdl:
    return "sdl";
  case OutputChoice::Auto:
    break;
  }
  return "auto";
}

OutputChoice OutputChoiceFromKey(std::string_view key) {
  if (key == "jack") {
    return OutputChoice::Jack;
  }
  if (key == "sdl") {
    return OutputChoice::Sdl;
  }
  return OutputChoice::Auto;
}

std::string_view SyncChoiceKey(SyncChoice choice) {
  switch (choice) {
  case SyncChoice::FollowTransport:
    return "follow";
  case SyncChoice::LeadTransport:
    return "master";
  case SyncChoice::FollowClock:
    return "clock";
  case SyncChoice::Own:
    break;
  }
  return "own";
}

SyncChoice SyncChoiceFromKey(std::string_view key) {
  if (key == "follow") {
    return SyncChoice::FollowTransport;
  }
  if (key == "master") {
    return SyncChoice::LeadTransport;
  }
  if (key == "clock") {
    return SyncChoice::FollowClock;
  }
  return SyncChoice::Own;
}

namespace {

void ApplySync(JackOutput& jack, SyncChoice sync) {
  jack.SetTransportRole(sync == SyncChoice::FollowTransport ? TransportRole::Follow
                        : sync == SyncChoice::LeadTransport ? TransportRole::Master
                                                            : TransportRole::Off);
  jack.clock().SetEnabled(sync == SyncChoice::FollowClock);
}

} // namespace

void LiveOutputs::SetLink(bool on) {
  link_.SetEnabled(on, engine_.Interface().song.tempo);
}

void LiveOutputs::NudgeLeaderTempo(double delta) {
  if (active_ == Active::Jack && link_.enabled()) {
    link_.NudgeTempo(delta);
  }
}

void LiveOutputs::SetSync(SyncChoice sync) {
  sync_ = sync;
  if (jack_ != nullptr) {
    ApplySync(*jack_, sync);
  }
}

LiveOutputs::Leader LiveOutputs::leader() const {
  if (active_ != Active::Jack) {
    return {};
  }
  if (jack_->transport().leading() && sync_ == SyncChoice::FollowTransport) {
    return {"JACK transport", jack_->transport().leaderTempo()};
  }
  if (jack_->clock().leading() && sync_ == SyncChoice::FollowClock) {
    return {"MIDI clock", jack_->clock().leaderTempo()};
  }
  if (link_.enabled() && link_.leading()) {
    const std::size_t peers = link_.peers();
    return {"Ableton Link (" + std::to_string(peers) + (peers == 1 ? " peer)" : " peers)"),
            link_.leaderTempo()};
  }
  return {};
}

LiveOutputs::LiveOutputs(Engine& engine, WaveOut& waveOut, LivePlayback& sdl,
                         std::string jackServer)
    : engine_(engine), waveOut_(waveOut), sdl_(sdl), jackServer_(std::move(jackServer)) {
  sdl_.refreshDisplay = [this] {
    if (refreshDisplay) {
      refreshDisplay();
    }
  };
}

LiveOutputs::~LiveOutputs() {
  if (jack_ != nullptr) {
    jack_->renderer().Release();
    jack_->Close();
  }
  sdl_.refreshDisplay = nullptr;
}

JackOutput* LiveOutputs::jack() const {
  return active_ == Active::Jack ? jack_.get() : nullptr;
}

uint64_t LiveOutputs::xruns() const {
  return jack_ != nullptr ? jack_->xruns() : 0;
}

std::string LiveOutputs::SwitchToJack() {
  if (jack_ == nullptr) {
    jack_ = std::make_unique<JackOutput>(engine_);
    jack_->SetInput(&input_);
    jack_->SetLink(&link_);
  }
  ApplySync(*jack_, sync_);
  std::string why = jack_->Open(jackServer_);
  if (!why.empty()) {
    return why;
  }
  sdl_.Suspend();
  waveOut_.Close();
  jack_->renderer().TakeOver();
  active_ = Active::Jack;
  return {};
}

void LiveOutputs::SwitchToSdl() {
  if (jack_ != nullptr) {
    jack_->renderer().Release();
    jack_->Close();
  }
  active_ = Active::Sdl;
  waveOut_.Open(-1);
  sdl_.Resume();
}

std::string LiveOutputs::Use(OutputChoice choice) {
  choice_ = choice;
  if (closed_) {
    return {};
  }
  if (choice != OutputChoice::Sdl && active_ != Active::Jack) {
    const std::string why = SwitchToJack();
    if (!why.empty() && choice == OutputChoice::Jack) {
      return JackUnavailable(why);
    }
  } else if (choice == OutputChoice::Sdl && active_ == Active::Jack) {
    SwitchToSdl();
  }
  return {};
}

std::string LiveOutputs::Describe() const {
  if (active_ == Active::Jack) {
    const uint32_t period = jack_->periodFrames();
    char line[160];
    std::snprintf(line, sizeof line,
                  "JACK, as \"%s\": %u frames a period (%.2f ms), %llu xruns so far",
                  jack_->clientName().c_str(), period, 1000.0 * period / kOutputRate,
                  static_cast<unsigned long long>(jack_->xruns()));
    return line;
  }
  return "SDL: the system's sound output, in blocks of " +
         std::to_string(LivePlayback::kBlockSamples) + " samples";
}

std::string LiveOutputs::Poll() {
  if (!pending_.empty()) {
    return std::exchange(pending_, {});
  }
  if (active_ != Active::Jack || !jack_->lost()) {
    return {};
  }
  const std::string reason = jack_->lostReason();
  SwitchToSdl();
  return "The JACK server stopped" + (reason.empty() ? std::string() : " (" + reason + ")") +
         ".\nLoopWren plays through the system's sound output (SDL) now.";
}

std::optional<OutputCursor> LiveOutputs::songCursor() const {
  if (active_ == Active::Jack) {
    return jack_->songCursor();
  }
  return sdl_.songCursor();
}

void LiveOutputs::PumpInput() {
  if (active_ == Active::Jack) {
    jack_->transport().SetSongTempo(engine_.Interface().song.tempo);
    link_.SetTempo(engine_.Interface().song.tempo);
    // What the ALSA sequencer hands over is heard one period and the server's latency
    // after it came.
    input_.SetReceiveLatency(jack_->periodFrames() + jack_->heardLatency());
    return;
  }
  // The listener hears a block two queued blocks after it is rendered, and a note lands,
  // on average, half a block into the rendering.
  constexpr uint32_t kSdlHeard =
      LivePlayback::kQueuedBlocks * LivePlayback::kBlockSamples + LivePlayback::kBlockSamples / 2;
  input_.SetReceiveLatency(kSdlHeard);
  const bool sounding = sdl_.songPlaying(); // the gate before the engine lock, as blocks take them
  const EngineHold hold(engine_.engineLock);
  // Frames count nothing here: only handed-over messages come, each played at once.
  constexpr OutputFrame kNow = OutputFrame{1} << 40;
  (void)input_.ApplyDue(engine_, kNow, sounding && engine_.playing);
}

std::string LiveOutputs::OpenMidi(const std::set<std::string>& excluded) {
  excludedPorts_ = excluded;
  return alsa_.Open(input_, excluded);
}

void LiveOutputs::SetExcludedPorts(const std::set<std::string>& excluded) {
  excludedPorts_ = excluded;
  if (alsa_.isOpen()) {
    alsa_.SetExcluded(excluded);
  }
}

void LiveOutputs::OpenOutput() {
  closed_ = false;
  if (choice_ != OutputChoice::Sdl) {
    const std::string why = SwitchToJack();
    if (why.empty()) {
      return;
    }
    if (choice_ == OutputChoice::Jack) {
      pending_ = JackUnavailable(why);
    }
  }
  sdl_.OpenOutput();
}

void LiveOutputs::PlayBtnClick() {
  if (active_ != Active::Jack) {
    sdl_.PlayBtnClick(); // refreshes through sdl_.refreshDisplay
    return;
  }
  if (sync_ == SyncChoice::FollowTransport) {
    jack_->StartOrStopTransport(); // the song starts and stops with the transport
  } else if (link_.enabled()) {
    link_.StartOrStop(); // the song starts and stops with the session
  } else {
    jack_->renderer().PlayBtnClick();
  }
  if (refreshDisplay) {
    refreshDisplay();
  }
}

void LiveOutputs::FormClose() {
  closed_ = true;
  alsa_.Close();
  if (active_ == Active::Jack) {
    jack_->renderer().Stop();
    jack_->Close();
    active_ = Active::Sdl;
  }
  sdl_.FormClose();
}

void LiveOutputs::DeactivatePlayBack() {
  if (active_ == Active::Sdl) {
    sdl_.DeactivatePlayBack();
  }
}

void LiveOutputs::ReactivatePlayBack() {
  if (active_ == Active::Sdl) {
    sdl_.ReactivatePlayBack();
  }
}

void LiveOutputs::Preview(PreviewSound sound) {
  sdl_.Preview(std::move(sound));
}

void LiveOutputs::StopPreview() {
  sdl_.StopPreview();
}

} // namespace lw
