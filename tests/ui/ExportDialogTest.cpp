// File > Export audio... as a user meets it: the dialog, what it remembers, and the
// files an accepted export writes.
#include "ui/ExportDialog.h"
#include "DialogsFixture.h"
#include "SoundFiles.h"
#include "audio_out/AudioExport.h"
#include "ui/RenderProgressDialog.h"
#include "ui/SequenceGrid.h"
#include "ui/SequencerWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSlider>
#include <QtTest>

#include <filesystem>

using namespace lw;
using lw::test::DialogsFixture;
using lw::test::PutNote;
using lw::test::PutSample;
using lw::test::ReadSoundFile;
using lw::test::TempDir;

namespace {

QList<QAction*> FileItems(MainWindow& window) {
  return window.menuBar()->actions().constFirst()->menu()->actions();
}

QAction* FileItem(MainWindow& window, const QString& text) {
  for (QAction* action : FileItems(window)) {
    if (action->text() == text) {
      return action;
    }
  }
  return nullptr;
}

void Export(DialogsFixture& f) {
  FileItem(*f.window, QStringLiteral("Export audio..."))->trigger();
}

// A song of three slots over two patterns, every channel sounding, with the delay fed.
void MakeSong(Engine& e) {
  std::vector<int16_t> tone(9000);
  for (std::size_t i = 0; i < tone.size(); ++i) {
    tone[i] = static_cast<int16_t>(std::lround(20000 * std::sin(static_cast<double>(i) / 7)));
  }
  PutSample(e, 0, tone, 44100, SampleCategory::Drum);
  for (int pattern = 0; pattern < 2; ++pattern) {
    for (int c = 0; c < kChannels; ++c) {
      PutNote(e, 0, pattern, c, 4 * c + pattern, 0);
      e.state.song.channel(0, pattern, c).delaySend = 50;
    }
  }
  e.state.sequence.slots[0] = {0, 0};
  e.state.sequence.slots[1] = {0, 1};
  e.state.sequence.slots[2] = {0, 0};
  e.UpdateTiming();
}

// What the user does in the export dialog: a choice made with its controls, then Ok or
// Cancel. `seen` receives what the dialog showed on opening, `made` what it held at the
// end.
struct UserChoice {
  std::optional<RenderKind> kind;
  std::optional<ExportFormat> format;
  std::optional<int> quality; // slider steps
  std::optional<bool> stems;
  bool ok = true;
};

void AnswerExport(DialogsFixture& f, const UserChoice& user, ExportChoice* seen = nullptr,
                  ExportChoice* made = nullptr) {
  f.user = [user, seen, made](QDialog& dialog) {
    auto& d = static_cast<ExportDialog&>(dialog);
    if (seen != nullptr) {
      *seen = d.Choice();
    }
    if (user.kind) {
      QTest::mouseClick(d.kindButton(*user.kind), Qt::LeftButton, {}, QPoint(6, 8));
    }
    if (user.format) {
      d.formatBox()->setCurrentIndex(static_cast<int>(*user.format));
    }
    if (user.quality) {
      d.qualitySlider()->setValue(*user.quality);
    }
    if (user.stems && d.stemsBox()->isChecked() != *user.stems) {
      QTest::mouseClick(d.stemsBox(), Qt::LeftButton, {}, QPoint(6, 8));
    }
    if (made != nullptr) {
      *made = d.Choice();
    }
    QTest::mouseClick(user.ok ? d.okButton() : d.cancelButton(), Qt::LeftButton);
  };
}

// Slots 1 and 2 selected in the sequencer and used as the song loop.
void LoopSecondAndThirdSlots(DialogsFixture& f) {
  SequencerWindow& s = f.dialogs->sequencer();
  f.dialogs->ShowSequencer();
  s.seq()->SelectSlots(1, 2);
  QTest::mouseClick(s.loopBox(), Qt::LeftButton);
}

// The samples File > Render Wav's item writes of MakeSong's song: 0 this pattern, 1 the
// entire song, 2 the loop of slots 1 and 2.
std::vector<int32_t> RenderedByRenderWav(int item) {
  DialogsFixture g;
  MakeSong(*g.engine);
  if (item == 2) {
    LoopSecondAndThirdSlots(g);
  }
  g.prompts.files.emplace_back(g.dir.File("render"));
  FileItem(*g.window, QStringLiteral("Render Wav"))->menu()->actions()[item]->trigger();
  return ReadSoundFile(g.dir.File("render.wav")).samples;
}

std::vector<std::string> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

} // namespace

class ExportDialogTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void menuItemAndDefaults();
  void qualityOnlyForLossyFormats();
  void flacWithStemsOfTheEntireSong();
  void songloopIsTheSequencersLoop();
  void choicesAreRemembered();
  void keptChoicesAreChecked();
  void refusedWhilePlaying();
};

// Right after the Render Wav submenu, whose captions its kinds carry; a first export is
// the entire song as FLAC at the middling quality, without stems.
void ExportDialogTest::menuItemAndDefaults() {
  DialogsFixture f;
  const QList<QAction*> items = FileItems(*f.window);
  const auto render =
      std::find(items.begin(), items.end(), FileItem(*f.window, QStringLiteral("Render Wav")));
  QVERIFY(render != items.end() && render + 1 != items.end());
  QCOMPARE(render[1]->text(), QStringLiteral("Export audio..."));
  QStringList renderCaptions;
  for (QAction* action : (*render)->menu()->actions()) {
    renderCaptions << action->text();
  }

  ExportDialog d(f.settings, false, f.window.get());
  QCOMPARE(d.windowTitle(), QStringLiteral("Export audio"));
  QCOMPARE(d.minimumSize(), d.maximumSize());
  QStringList kindCaptions;
  for (const RenderKind kind :
       {RenderKind::ThisPattern, RenderKind::EntireSong, RenderKind::SongLoop}) {
    kindCaptions << d.kindButton(kind)->text();
  }
  QCOMPARE(kindCaptions, renderCaptions);
  QVERIFY(d.kindButton(RenderKind::EntireSong)->isChecked());
  QVERIFY(!d.kindButton(RenderKind::SongLoop)->isEnabled());
  QStringList formats;
  for (int i = 0; i < d.formatBox()->count(); ++i) {
    formats << d.formatBox()->itemText(i);
  }
  QCOMPARE(formats,
           (QStringList{"WAV, 16-bit", "WAV, 24-bit", "FLAC", "Ogg Vorbis", "Opus", "MP3"}));
  QCOMPARE(d.formatBox()->currentText(), QStringLiteral("FLAC"));
  QCOMPARE(d.qualitySlider()->value(), 6);
  QCOMPARE(d.qualityValue()->text(), QStringLiteral("6"));
  QVERIFY(!d.stemsBox()->isChecked());
  QVERIFY(d.okButton()->isDefault());
}

// The slider and its labels follow the format.
void ExportDialogTest::qualityOnlyForLossyFormats() {
  DialogsFixture f;
  ExportDialog d(f.settings, false, f.window.get());
  QVERIFY(!d.qualitySlider()->isEnabled()); // FLAC
  for (const int index : {3, 0, 5, 1, 4, 2}) {
    const ExportFormatInfo& info = ExportFormats()[index];
    d.formatBox()->setCurrentIndex(index);
    for (const char* part :
         {"QualitySlider", "QualityValue", "QualityLabel", "SmallerLabel", "BetterLabel"}) {
      QVERIFY2(d.findChild<QWidget*>(part)->isEnabled() == info.lossy, info.caption);
    }
    QCOMPARE(d.Choice().options.format, info.format);
  }
  d.qualitySlider()->setValue(3);
  QCOMPARE(d.qualityValue()->text(), QStringLiteral("3"));
  QCOMPARE(d.Choice().options.quality, 0.3);
}

// A cancelled dialog writes nothing. An accepted one asks for the file in the render
// folder; the mix is what Render Wav writes of the entire song and the five stems lie
// beside it, as long as the mix.
void ExportDialogTest::flacWithStemsOfTheEntireSong() {
  const std::vector<int32_t> rendered = RenderedByRenderWav(1);
  QVERIFY(!rendered.empty());
  DialogsFixture f;
  MakeSong(*f.engine);
  const std::string folder = f.dir.File("takes");
  std::filesystem::create_directories(folder);
  const std::string startFolder = f.window->renderFolder();
  f.prompts.files.emplace_back(folder + "/song");
  AnswerExport(f, {RenderKind::ThisPattern, ExportFormat::Opus, 2, true, false});
  Export(f);
  QCOMPARE(f.modalShown.back(), QStringLiteral("ExportDialog"));
  QVERIFY(f.prompts.dialogs.empty());
  QVERIFY(FilesIn(folder).empty());

  AnswerExport(f, {RenderKind::EntireSong, ExportFormat::Flac, {}, true});
  Export(f);
  QVERIFY(f.prompts.silent());
  QCOMPARE(f.prompts.dialogs.size(), std::size_t{1});
  QCOMPARE(f.prompts.dialogs[0].initialFolder, startFolder);
  QCOMPARE(f.prompts.dialogs[0].defaultExtension, std::string("*.flac"));
  QCOMPARE(FilesIn(folder),
           (std::vector<std::string>{"song-ch1.flac", "song-ch2.flac", "song-ch3.flac",
                                     "song-delay.flac", "song-vinyl.flac", "song.flac"}));
  const auto stems = StemPaths(folder + "/song.flac", ExportFormat::Flac);
  std::vector<std::string> files{folder + "/song.flac"};
  files.insert(files.end(), stems.begin(), stems.end());
  for (const std::string& path : files) {
    const lw::test::SoundFile file = ReadSoundFile(path);
    QVERIFY2(file.opened, path.c_str());
    QCOMPARE(file.format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
    QCOMPARE(file.rate, 44100);
    QCOMPARE(file.channels, 1);
    QCOMPARE(file.samples.size(), rendered.size());
  }
  QVERIFY(ReadSoundFile(files[0]).samples == rendered);
  // The folder is the render folder from now on, in this run and the next.
  QCOMPARE(f.window->renderFolder(), folder + "/");
  QCOMPARE(StartingRenderFolder(f.settings, "/nowhere/"), folder + "/");
}

// "Songloop" can be chosen while the sequencer's selection is the loop, as in Render Wav,
// and renders what Render Wav's Songloop renders.
void ExportDialogTest::songloopIsTheSequencersLoop() {
  const std::vector<int32_t> rendered = RenderedByRenderWav(2);
  DialogsFixture f;
  MakeSong(*f.engine);
  ExportChoice made;
  AnswerExport(f, {RenderKind::SongLoop, {}, {}, {}, false}, nullptr, &made);
  Export(f);
  QCOMPARE(made.kind, RenderKind::EntireSong); // the click on the disabled button did nothing

  LoopSecondAndThirdSlots(f);
  f.prompts.files.emplace_back(f.dir.File("loop"));
  AnswerExport(f, {RenderKind::SongLoop, ExportFormat::Wav16, {}, false});
  Export(f);
  QVERIFY(ReadSoundFile(f.dir.File("loop.wav")).samples == rendered);

  // Kept, but while the loop is off the entire song is offered instead.
  QTest::mouseClick(f.dialogs->sequencer().loopBox(), Qt::LeftButton);
  ExportChoice seen;
  AnswerExport(f, {{}, {}, {}, {}, false}, &seen);
  Export(f);
  QCOMPARE(seen.kind, RenderKind::EntireSong);
  QCOMPARE(f.settings.exportChoice().kind, RenderKind::SongLoop);
}

// Accepted choices come back at the next opening and in the next run; cancelled ones are
// forgotten.
void ExportDialogTest::choicesAreRemembered() {
  DialogsFixture f;
  f.prompts.files.emplace_back(std::nullopt); // the file dialog cancelled
  AnswerExport(f, {RenderKind::ThisPattern, ExportFormat::Opus, 3, true});
  Export(f);
  QCOMPARE(f.prompts.dialogs.at(0).defaultExtension, std::string("*.opus"));
  for (int opening = 0; opening < 2; ++opening) {
    ExportChoice seen;
    AnswerExport(f, {RenderKind::EntireSong, ExportFormat::Wav24, 9, false, false}, &seen);
    Export(f);
    QCOMPARE(seen.kind, RenderKind::ThisPattern);
    QCOMPARE(seen.options.format, ExportFormat::Opus);
    QCOMPARE(seen.options.quality, 0.3);
    QVERIFY(seen.options.stems);
  }
  f.settings.sync();
  const ExportChoice kept =
      ProgramSettings(QString::fromStdString(f.settingsDir.File("loopwren.conf"))).exportChoice();
  QCOMPARE(kept.kind, RenderKind::ThisPattern);
  QCOMPARE(kept.options.format, ExportFormat::Opus);
  QCOMPARE(kept.options.quality, 0.3);
  QVERIFY(kept.options.stems);
}

// A settings file edited by hand, or by another version, gives the default for a value it
// holds wrongly and keeps the rest.
void ExportDialogTest::keptChoicesAreChecked() {
  const struct {
    const char* key;
    QVariant value;
  } rows[] = {
      {"export/kind", "everything"}, {"export/kind", 7},
      {"export/format", "aiff"},     {"export/format", ""},
      {"export/quality", 1.5},       {"export/quality", -0.1},
      {"export/quality", "loud"},    {"export/stems", "sometimes"},
  };
  const ExportChoice defaults;
  for (const auto& row : rows) {
    const TempDir dir;
    const QString file = QString::fromStdString(dir.File("loopwren.conf"));
    ProgramSettings(file).setExportChoice({RenderKind::SongLoop, {ExportFormat::Mp3, 0.2, true}});
    QSettings(file, QSettings::IniFormat).setValue(QString::fromLatin1(row.key), row.value);
    const ExportChoice read = ProgramSettings(file).exportChoice();
    const QString key = QString::fromLatin1(row.key);
    QCOMPARE(read.kind, key == "export/kind" ? defaults.kind : RenderKind::SongLoop);
    QCOMPARE(read.options.format,
             key == "export/format" ? defaults.options.format : ExportFormat::Mp3);
    QCOMPARE(read.options.quality, key == "export/quality" ? defaults.options.quality : 0.2);
    QCOMPARE(read.options.stems, key == "export/stems" ? defaults.options.stems : true);
  }
}

// As Render Wav: the render's notice, and no dialog at all.
void ExportDialogTest::refusedWhilePlaying() {
  DialogsFixture f;
  MakeSong(*f.engine);
  f.window->PlayBtnClick();
  QVERIFY(f.engine->playing);
  const std::size_t shown = f.modalShown.size();
  const auto before = FilesIn(f.dir.path());
  f.prompts.files.emplace_back(f.dir.File("song"));
  AnswerExport(f, {});
  Export(f);
  QCOMPARE(f.prompts.notices, std::vector<std::string>{kRenderWhilePlaying});
  QCOMPARE(f.modalShown.size(), shown);
  QCOMPARE(FilesIn(f.dir.path()), before);
  f.window->PlayBtnClick();
  f.user = nullptr; // the dialog never came
}

QTEST_MAIN(ExportDialogTest)
#include "ExportDialogTest.moc"
