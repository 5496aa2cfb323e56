#include "ui/AutoSave.h"

#include "engine/Engine.h"
#include "samples/SongFile.h"

#include <QtGlobal>

namespace lw {

AutoSave::AutoSave(Engine& engine, RecoveryInstance& instance, AutoSaveTiming timing,
                   QObject* parent)
    : QObject(parent), engine_(engine), instance_(instance), schedule_(timing), writer_(instance) {
  timer_.setInterval(timing.poll);
  connect(&timer_, &QTimer::timeout, this, [this] { Poll(std::chrono::steady_clock::now()); });
  timer_.start();
}

AutoSave::~AutoSave() {
  writer_.Stop();
}

void AutoSave::Poll(std::chrono::steady_clock::time_point now) {
  const SongDocument& state = engine_.Interface();
  const SampleTable& samples = engine_.InterfaceSamples();
  const std::vector<std::string> failures =
      PollRecoveryCopy(schedule_, writer_, now, state, samples,
                       [&] { return SongFileBytes(state.song, state.sequence, samples); });
  if (!failures.empty() && !warned_) {
    warned_ = true; // once a run: a full disk would say so every half minute
    qWarning("loopwren: the recovery copy %s was not written: %s", instance_.CopyPath().c_str(),
             failures.front().c_str());
  }
}

void AutoSave::SongSettled() {
  Poll(std::chrono::steady_clock::now());
}

void AutoSave::Adopted() {
  schedule_.Adopted(SongFingerprint(engine_.Interface(), engine_.InterfaceSamples()));
}

void AutoSave::Finish() {
  timer_.stop();
  writer_.Stop();
  instance_.Finish();
}

} // namespace lw
