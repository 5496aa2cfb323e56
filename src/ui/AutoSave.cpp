#include "ui/AutoSave.h"

#include "engine/BlackBox.h"
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
  for (const RecoveryWriter::Done& done : writer_.TakeFinished()) {
    schedule_.Finished(now, done.fingerprint, done.written);
    if (!done.written && !warned_) {
      warned_ = true; // once a run: a full disk would say so every half minute
      qWarning("loopwren: the recovery copy %s was not written: %s", instance_.CopyPath().c_str(),
               done.error.c_str());
    }
  }
  const SongState& state = engine_.Interface();
  const SampleTable& samples = engine_.InterfaceSamples();
  const uint64_t fingerprint = state.songChanged ? SongFingerprint(state, samples) : 0;
  switch (schedule_.Poll(now, state.songChanged, fingerprint, writer_.Busy())) {
  case AutoSaveSchedule::Action::Write:
    writer_.Write(SongFileBytes(state.song, state.sequence, samples),
                  RecoveryInfo{state.songFileName, state.song.title.text(), NowMilliseconds()},
                  fingerprint);
    break;
  case AutoSaveSchedule::Action::Remove:
    writer_.Remove();
    break;
  case AutoSaveSchedule::Action::None:
    break;
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
