// RefreshDisplay: the one routine that brings the main window's indicators in line with
// the song.
#include "engine/Engine.h"
#include "ui/main_window/MainWindow.h"

#include <QLineEdit>
#include <QPainter>
#include <QTimer>

#include <chrono>

namespace lw {

namespace {

constexpr int kOutOfView = 2000;

void Place(ImageControl* image, int left) {
  image->move(left, image->home().y());
}

} // namespace

void MainWindow::ShowKnobFrame(int index) {
  ImageControl* image = knobImages_[static_cast<std::size_t>(index)];
  image->setPicture(skin_.knobFrames[static_cast<std::size_t>(
      KnobFrame(knobs_[static_cast<std::size_t>(index)]))]);
  image->AnnounceChange();
}

void MainWindow::RefreshDisplay(bool refreshPanels, bool refreshChannel, bool refreshStep) {
  const SongDocument& s = engine_.Interface();
  const Song& song = s.song;

  if (!leaderShown_) {
    tempoBox_->setText(QString::number(song.tempo));
  }

  if (refreshPanels) {
    bankPanel_->setPicture(skin_.bp[static_cast<std::size_t>(s.editBank)]);
    patPanel_->setPicture(skin_.bp[static_cast<std::size_t>(s.editPattern)]);
    for (int k : {kDelFB, kDelSteps, kDistort, kVinyl, kShuffle}) {
      ShowKnobFrame(k);
    }
  }
  const Pattern& pattern = song.pattern(s.editBank, s.editPattern);
  if (refreshChannel) {
    for (int c = 0; c < kChannels; ++c) {
      knobs_[kDelay1 + c].value = pattern.channels[c].delaySend;
      knobs_[kVol1 + c].value = pattern.channels[c].volume;
      ShowKnobFrame(kDelay1 + c);
      ShowKnobFrame(kVol1 + c);
    }
  }

  playBtn_->setPicture(engine_.playing ? skin_.playOn : skin_.playOff);
  if (engine_.playing && !soundTimer_->isActive()) {
    soundTimer_->start();
  }

  if (refreshChannel) {
    for (int c = 0; c < kChannels; ++c) {
      distort_[c]->setPicture(pattern.channels[c].distortOn != 0 ? skin_.distortOn
                                                                 : skin_.distortOff);
      channel_[c]->setPicture(c == s.activeChannel ? skin_.octaveOn : skin_.octaveOff);
    }
  }

  if (refreshStep) {
    const Step& step = pattern.channels[s.activeChannel].steps[s.activeStep];
    knobs_[kPitch].value = step.pitch - 50;
    ShowKnobFrame(kPitch);
    // A note from a foreign file may be negative: its key is still one of the twelve.
    const int key = ((step.note % 12) + 12) % 12;
    for (int k = 0; k < 12; ++k) {
      const bool black = k == 1 || k == 3 || k == 6 || k == 8 || k == 10;
      const bool lit = k == key;
      keys_[k]->setPicture(black ? (lit ? skin_.blackStepOn : skin_.blackStepOff)
                                 : (lit ? skin_.whiteStepOn : skin_.whiteStepOff));
    }
    const int octave = step.note >= 0 ? step.note / 12 : -1;
    for (int n = 0; n < 5; ++n) {
      octaves_[n]->setPicture(octave == n + 1 ? skin_.octaveOn : skin_.octaveOff);
    }
    ShowCategory();
    stepFrame_->move(233 + 21 * s.activeStep, 13);
    for (int i = 0; i < kSteps; ++i) {
      DrawLcdStep(i);
    }
    lcd_->setPicture(lcdPicture_);
  }
}

QRect MainWindow::StepLightPlace(int step) {
  return {235 + 21 * step, 33, 15, 3};
}

// The output says which of the engine's samples its listener hears, the engine's trace
// which step that sample belongs to: only atomics are read, and the light moves only
// when the step changes.
void MainWindow::FollowSound() {
  std::optional<PlayTrace::Mark> mark;
  const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
  const std::optional<OutputCursor> cursor =
      engine_.playing ? context_.playback.songCursor() : std::nullopt;
  if (const std::optional<uint64_t> sample = heardClock_.Heard(cursor, now)) {
    mark = engine_.trace.At(*sample);
  }
  heard_ = mark;
  if (!mark) {
    stepLight_->hide();
  } else {
    const QRect place = StepLightPlace(mark->step);
    if (stepLight_->geometry() != place) {
      stepLight_->setGeometry(place);
    }
    stepLight_->show();
  }
  if (!engine_.playing) {
    soundTimer_->stop();
  }
}

// Which of the pitch knob and the keys applies to the active step's sample.
void MainWindow::ShowCategory() {
  const SongDocument& s = engine_.Interface();
  const Step& step = s.song.step(s.editBank, s.editPattern, s.activeChannel, s.activeStep);
  const int32_t slot = step.sampleIndex();
  int category = -1;
  if (slot >= 0 && slot < kSampleSlots) {
    category = engine_.InterfaceSamples().slots[static_cast<std::size_t>(slot)].category;
  }
  if (category == static_cast<int>(SampleCategory::Drum)) {
    Place(activeLed_, 400);
    Place(coverPitch_, kOutOfView);
    Place(coverKeys_, 172);
  } else if (category == static_cast<int>(SampleCategory::Instrument)) {
    Place(activeLed_, 171);
    Place(coverPitch_, 401);
    Place(coverKeys_, kOutOfView);
  } else {
    Place(activeLed_, kOutOfView);
    Place(coverPitch_, 401);
    Place(coverKeys_, 172);
  }
}

// One step of the active channel on the lcd: its sample's symbol in the notes row, and
// in the ctrl. row an open square for a step with a controller or a small ring.
void MainWindow::DrawLcdStep(int i) {
  const SongDocument& s = engine_.Interface();
  const Step& step = s.song.step(s.editBank, s.editPattern, s.activeChannel, i);
  const int x = 21 * i;
  QPainter painter(&lcdPicture_);
  const QRect note(69 + x, 29, 15, 15);
  if (step.showsNote()) {
    painter.drawPixmap(note, skin_.sampleSymbols[step.sample % 16]);
  } else {
    painter.fillRect(note, kLcdBackground);
  }
  const QRect ctrl(72 + x, 59, 8, 8);
  painter.fillRect(ctrl, kLcdBackground);
  painter.setPen(QPen(Qt::black, 1));
  painter.setBrush(Qt::NoBrush);
  if (step.volume < 128 || step.mode < 128) {
    painter.drawRect(ctrl.adjusted(0, 0, -1, -1));
  } else {
    // A ring on the 3 x 3 square from (75, 62): its four edge pixels, hollow middle.
    const QPoint ring[4] = {{76 + x, 62}, {75 + x, 63}, {77 + x, 63}, {76 + x, 64}};
    painter.drawPoints(ring, 4);
  }
}

} // namespace lw
