// "Audio & MIDI" and the window's side of the live outputs: the choice shown, applied and
// remembered, a JACK server that goes away reported while the song plays on, and the
// sequencer's MIDI ports, each turned on or off, or why there are none.
#include "DialogsFixture.h"
#include "JackTestServer.h"
#include "JackTimebaseMaster.h"
#include "LiveSong.h"
#include "live/JackOutput.h"
#include "live/LiveOutputs.h"
#include "ui/AudioMidiDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include <memory>
#include <string>

using namespace lw;
using lw::test::FakeAudioDevice;
using lw::test::JackTestServer;

namespace {

QAction* MenuItem(MainWindow& window, const QString& menu, const QString& item) {
  for (QAction* top : window.menuBar()->actions()) {
    if (top->text() == menu && top->menu() != nullptr) {
      for (QAction* action : top->menu()->actions()) {
        if (action->text() == item) {
          return action;
        }
      }
    }
  }
  return nullptr;
}

// The program's main window and dialogs over the live outputs, SDL being a fake device.
// Modal dialogs are run as DialogsFixture runs them.
struct OutputsWindow {
  std::unique_ptr<Engine> engine = lw::test::NewEngine();
  lw::test::FakePrompts prompts;
  FakeAudioDevice* device = nullptr;
  std::unique_ptr<WaveOut> waveOut;
  std::unique_ptr<LivePlayback> sdl;
  std::unique_ptr<LiveOutputs> outputs;
  ProgressRelay progress;
  lw::test::TempDir dir;
  lw::test::TempDir settingsDir;
  ProgramSettings settings{QString::fromStdString(settingsDir.File("loopwren.conf"))};
  std::unique_ptr<MainWindow> window;
  std::unique_ptr<ProgramDialogs> dialogs;
  std::function<void(QDialog&)> user;
  std::vector<QString> modalShown;

  OutputsWindow(const std::string& jackServer, OutputChoice choice) {
    auto fake = std::make_unique<FakeAudioDevice>();
    device = fake.get();
    waveOut = std::make_unique<WaveOut>(std::move(fake), prompts);
    sdl = std::make_unique<LivePlayback>(*engine, *waveOut);
    outputs = std::make_unique<LiveOutputs>(*engine, *waveOut, *sdl, jackServer);
    outputs->Choose(choice);
    window = std::make_unique<MainWindow>(MainContext{*engine,
                                                      *waveOut,
                                                      *outputs,
                                                      prompts,
                                                      progress,
                                                      settings,
                                                      dir.path().string() + "/",
                                                      {},
                                                      outputs.get()});
    dialogs = std::make_unique<ProgramDialogs>(*window, *engine, prompts, progress);
    dialogs->setModalRunner([this](QDialog& dialog) {
      modalShown.push_back(dialog.objectName());
      dialog.setResult(QDialog::Rejected);
      dialog.show();
      if (auto act = std::exchange(user, nullptr)) {
        act(dialog);
      }
      if (dialog.isVisible()) {
        dialog.reject();
      }
      return dialog.result();
    });
    window->setDialogs(dialogs.get());
    window->FirstActivation();
  }
  ~OutputsWindow() {
    outputs->FormClose();
    window->setDialogs(nullptr);
    dialogs.reset();
    window.reset();
  }
  OutputsWindow(const OutputsWindow&) = delete;
  OutputsWindow& operator=(const OutputsWindow&) = delete;

  // Opens "Audio & MIDI" from the menu, picks `pick` (none: looks only) and presses Ok
  // or Cancel; returns what the dialog showed.
  struct Seen {
    int checked = -1;
    QString playing;
  };
  Seen Choose(int pick, bool ok) {
    Seen seen;
    user = [&](QDialog& dialog) {
      auto& audio = static_cast<AudioMidiDialog&>(dialog);
      for (int i = 0; i < 3; ++i) {
        if (audio.outputButton(i)->isChecked()) {
          seen.checked = i;
        }
      }
      seen.playing = audio.playingLabel()->text();
      if (pick >= 0) {
        QTest::mouseClick(audio.outputButton(pick), Qt::LeftButton, {}, QPoint(4, 8));
      }
      QTest::mouseClick(ok ? audio.okButton() : audio.cancelButton(), Qt::LeftButton);
    };
    MenuItem(*window, "&Tools", "&Audio && MIDI...")->trigger();
    return seen;
  }
  [[nodiscard]] bool PlayButtonShowsPlaying() const {
    return window->control("PlayBtn")->picture().cacheKey() == window->skin().playOn.cacheKey();
  }
};

} // namespace

class AudioMidiTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void theToolsMenuOffersTheDialogOnlyWithAChoiceOfOutputs();
  void theDialogShowsTheChoiceAndTheOutputPlaying();
  void aChoiceIsRememberedAndAppliedAndAMissingServerIsTold();
  void aServerThatGoesAwayIsReportedAndTheSongPlaysOn();
  void theMidiPortsAreListedAndTheUncheckedOnesExcluded();
  void aMissingSequencerIsToldInsteadOfTheList();
  void followingTheTransportShowsItsTempoInTheLockedTempoBox();
};

void AudioMidiTest::theToolsMenuOffersTheDialogOnlyWithAChoiceOfOutputs() {
  lw::test::MainWindowFixture plain;
  QAction* item = MenuItem(*plain.window, "&Tools", "&Audio && MIDI...");
  QVERIFY(item != nullptr);
  QVERIFY(!item->isEnabled());
  OutputsWindow f("loopwren-no-such-server", OutputChoice::Auto);
  QVERIFY(MenuItem(*f.window, "&Tools", "&Audio && MIDI...")->isEnabled());
}

void AudioMidiTest::theDialogShowsTheChoiceAndTheOutputPlaying() {
  OutputsWindow f("loopwren-no-such-server", OutputChoice::Sdl);
  const auto seen = f.Choose(-1, false);
  QCOMPARE(f.modalShown.back(), QString("AudioMidiDialog"));
  QCOMPARE(seen.checked, 2);
  QVERIFY2(seen.playing.startsWith("SDL"), qPrintable(seen.playing));
  QCOMPARE(QString::fromStdString(f.settings.audioOutput()), QString());
}

void AudioMidiTest::aChoiceIsRememberedAndAppliedAndAMissingServerIsTold() {
  OutputsWindow f("loopwren-no-such-server", OutputChoice::Auto);
  QVERIFY(f.prompts.notices.empty()); // Auto falls back to SDL without a word
  f.Choose(1, true);
  QCOMPARE(QString::fromStdString(f.settings.audioOutput()), QString("jack"));
  QCOMPARE(f.outputs->choice(), OutputChoice::Jack);
  QCOMPARE(f.outputs->active(), LiveOutputs::Active::Sdl);
  QCOMPARE(f.prompts.notices.size(), std::size_t{1});
  QVERIFY2(f.prompts.notices[0].find("no JACK server is running") != std::string::npos,
           f.prompts.notices[0].c_str());
  QCOMPARE(f.Choose(2, true).checked, 1);
  QCOMPARE(QString::fromStdString(f.settings.audioOutput()), QString("sdl"));
  QCOMPARE(f.prompts.notices.size(), std::size_t{1});
  f.Choose(0, false);
  QCOMPARE(QString::fromStdString(f.settings.audioOutput()), QString("sdl")); // cancelled
}

void AudioMidiTest::aServerThatGoesAwayIsReportedAndTheSongPlaysOn() {
  JackTestServer server;
  if (!server.up()) {
    QSKIP(qPrintable("no JACK server to test with: " + QString::fromStdString(server.why())));
  }
  OutputsWindow f(server.name(), OutputChoice::Auto);
  lw::test::MakeLiveSong(*f.engine);
  QCOMPARE(f.outputs->active(), LiveOutputs::Active::Jack);
  QVERIFY(f.Choose(-1, false).playing.startsWith("JACK"));
  f.window->PlayBtnClick();
  QVERIFY(f.PlayButtonShowsPlaying());
  QTRY_VERIFY(f.outputs->jack()->renderer().sessionStart() != PeriodRenderer::kNoFrame);
  server.Kill();
  QTRY_VERIFY_WITH_TIMEOUT(!f.prompts.notices.empty(), 20000);
  QVERIFY2(f.prompts.notices[0].find("The JACK server stopped") != std::string::npos,
           f.prompts.notices[0].c_str());
  QCOMPARE(f.outputs->active(), LiveOutputs::Active::Sdl);
  QVERIFY(f.engine->playing);
  QVERIFY(f.PlayButtonShowsPlaying());
  QVERIFY(f.device->open);
  bool sounds = false;
  for (int i = 0; i < 40 && !sounds; ++i) {
    for (const int16_t v : f.device->PullNow(1024)) {
      sounds = sounds || v != 0;
    }
    f.waveOut->WaitForCallbacks();
  }
  QVERIFY2(sounds, "the song plays on through SDL");
}

void AudioMidiTest::theMidiPortsAreListedAndTheUncheckedOnesExcluded() {
  AudioMidiDialog dialog(nullptr);
  const std::string longName = "A controller with a name much longer than the panel is wide: "
                               "its first and only MIDI port";
  // Two devices of one kind share a name, and the choice made for it.
  dialog.ShowMidiPorts({{20, 0, "Keys: keys"},
                        {24, 0, "Pads & Co: pads"},
                        {28, 0, "Pads & Co: pads"},
                        {128, 0, "Soft: out"},
                        {129, 0, longName}},
                       {"Soft: out", "Unplugged: port"}, "");
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  QCOMPARE(dialog.midiPortCount(), 4);
  QVERIFY(!dialog.midiStatus()->isVisible());
  QCOMPARE(dialog.midiPortBox(1)->text(), QString("Pads && Co: pads"));
  QCOMPARE(dialog.midiPortBox(1)->objectName(), QString("cbMidiPort1"));
  const std::vector<bool> checked = {true, true, false, true};
  for (int i = 0; i < 4; ++i) {
    QCOMPARE(dialog.midiPortBox(i)->isChecked(), checked[static_cast<std::size_t>(i)]);
    QVERIFY(dialog.midiPortBox(i)->isVisible());
    QVERIFY(dialog.midiPortBox(i)->width() >= dialog.midiPortBox(i)->sizeHint().width());
  }
  QCOMPARE(dialog.ExcludedPorts(), (std::set<std::string>{"Soft: out", "Unplugged: port"}));

  QTest::mouseClick(dialog.midiPortBox(0), Qt::LeftButton, {}, QPoint(4, 8));
  QTest::mouseClick(dialog.midiPortBox(2), Qt::LeftButton, {}, QPoint(4, 8));
  QCOMPARE(dialog.ExcludedPorts(), (std::set<std::string>{"Keys: keys", "Unplugged: port"}));
  // The last row is out of sight until scrolled to.
  dialog.midiPortList()->ensureWidgetVisible(dialog.midiPortBox(3));
  QVERIFY(dialog.midiPortList()->verticalScrollBar()->value() > 0);
  dialog.midiPortBox(3)->setChecked(false);
  QCOMPARE(dialog.ExcludedPorts(),
           (std::set<std::string>{"Keys: keys", longName, "Unplugged: port"}));

  // Shown again, the list is made afresh from what is given.
  dialog.ShowMidiPorts({{20, 0, "Keys: keys"}}, {}, "");
  QCOMPARE(dialog.midiPortCount(), 1);
  QCOMPARE(dialog.midiPortList()->findChildren<QCheckBox*>().size(), qsizetype{1});
  QCOMPARE(dialog.ExcludedPorts(), std::set<std::string>{});
  dialog.ShowMidiPorts({}, {"Keys: keys"}, "");
  QCOMPARE(dialog.midiPortCount(), 0);
  QVERIFY(dialog.midiStatus()->isVisible());
  QCOMPARE(dialog.midiStatus()->text(), QString("No program or device offers MIDI now."));
  QCOMPARE(dialog.ExcludedPorts(), std::set<std::string>{"Keys: keys"});
}

void AudioMidiTest::aMissingSequencerIsToldInsteadOfTheList() {
  AudioMidiDialog dialog(nullptr);
  const QString why = "No ALSA sequencer: /dev/snd/seq does not exist";
  dialog.ShowMidiPorts({{20, 0, "Keys: keys"}}, {"Pads: pads"}, why.toStdString());
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  QCOMPARE(dialog.midiPortCount(), 0);
  QCOMPARE(dialog.midiPortList()->findChildren<QCheckBox*>().size(), qsizetype{0});
  QVERIFY(dialog.midiStatus()->isVisible());
  QCOMPARE(dialog.midiStatus()->text(), why);
  const QRect room = dialog.midiStatus()->contentsRect();
  QVERIFY(room.contains(dialog.midiStatus()->fontMetrics().boundingRect(
      room, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, why)));
  QCOMPARE(dialog.ExcludedPorts(), std::set<std::string>{"Pads: pads"});
  // The outputs are as they were.
  QVERIFY(dialog.outputButton(0)->isChecked());
  QTest::mouseClick(dialog.outputButton(2), Qt::LeftButton, {}, QPoint(4, 8));
  QCOMPARE(dialog.Choice(), OutputChoice::Sdl);
}

// "The song keeps time with" the JACK transport: remembered, and while a master rolls the
// transport the play button starts it and the tempo box shows the tempo followed, locked.
void AudioMidiTest::followingTheTransportShowsItsTempoInTheLockedTempoBox() {
  JackTestServer server;
  if (!server.up()) {
    QSKIP(qPrintable("no JACK server to test with: " + QString::fromStdString(server.why())));
  }
  OutputsWindow f(server.name(), OutputChoice::Auto);
  lw::test::MakeLiveSong(*f.engine);
  f.user = [](QDialog& dialog) {
    auto& audio = static_cast<AudioMidiDialog&>(dialog);
    QCOMPARE(audio.Sync(), SyncChoice::Own);
    audio.syncBox()->setCurrentIndex(static_cast<int>(SyncChoice::FollowTransport));
    QTest::mouseClick(audio.okButton(), Qt::LeftButton);
  };
  MenuItem(*f.window, "&Tools", "&Audio && MIDI...")->trigger();
  QCOMPARE(QString::fromStdString(f.settings.timeKeeper()), QString("follow"));
  QCOMPARE(f.outputs->sync(), SyncChoice::FollowTransport);

  lw::test::JackTimebaseMaster daw(server, 128.5);
  QVERIFY(daw.ok());
  f.window->PlayBtnClick(); // starts the transport, which starts the song
  QTRY_VERIFY_WITH_TIMEOUT(daw.rolled(), 10000);
  QTRY_VERIFY_WITH_TIMEOUT(f.outputs->jack()->renderer().Playing(), 10000);
  f.window->PollOutputs();
  QCOMPARE(f.window->tempoBox()->text(), QString("128.5"));
  QVERIFY(f.window->tempoBox()->isReadOnly());
  QCOMPARE(f.window->tempoBox()->toolTip(), QString("JACK transport leads: 128.50 BPM"));
  QCOMPARE(f.engine->Interface().song.tempo, 120); // the song's own tempo stays
  f.window->plus10Click();
  QCOMPARE(f.engine->Interface().song.tempo, 120);

  f.window->PlayBtnClick(); // stops the transport, which stops the song
  QTRY_VERIFY_WITH_TIMEOUT(!f.outputs->jack()->renderer().Playing(), 10000);
  f.outputs->SetSync(SyncChoice::Own);
  QTRY_VERIFY_WITH_TIMEOUT(f.outputs->leader().who.empty(), 5000);
  f.window->PollOutputs();
  QCOMPARE(f.window->tempoBox()->text(), QString("120"));
  QVERIFY(!f.window->tempoBox()->isReadOnly());
}

QTEST_MAIN(AudioMidiTest)
#include "AudioMidiTest.moc"
