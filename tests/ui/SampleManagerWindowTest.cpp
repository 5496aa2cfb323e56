#include "ui/SampleManagerWindow.h"
#include "DialogsFixture.h"
#include "WavBuilder.h"
#include "audio_out/SamplePreview.h"

#include <QDropEvent>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <sndfile.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

using namespace lw;
using lw::test::DialogsFixture;
using lw::test::PutSample;
using lw::test::WavBuilder;

namespace {

// A 44100 Hz mono file with `count` samples.
std::string WriteWav(const lw::test::TempDir& dir, const std::string& name, std::size_t count,
                     uint16_t channels = 1) {
  WavBuilder wav;
  wav.channels = channels;
  wav.Samples(lw::test::Ramp(count));
  std::string path = dir.File(name);
  lw::test::WriteBytes(path, wav.Build());
  return path;
}

// A stereo file of `frames` frames whose channels are n * 256 and n * 256 + 512 at the
// file's depth (24 or 16 bits): their mean is exactly n + 1 in 16 bits.
std::string WriteStereo(const lw::test::TempDir& dir, const std::string& name, int format,
                        int frames) {
  SF_INFO info{};
  info.format = format;
  info.channels = 2;
  info.samplerate = 48000;
  std::string path = dir.File(name);
  SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
  std::vector<int> values;
  for (int n = 0; n < frames; ++n) {
    values.push_back(n << 16);       // n in 16 bits
    values.push_back((n + 2) << 16); // n + 2
  }
  sf_writef_int(f, values.data(), frames);
  sf_close(f);
  return path;
}

void ExpectConverted(const SampleSlot& slot, int frames) {
  QCOMPARE(slot.data.size(), static_cast<std::size_t>(frames));
  for (int n = 0; n < frames; ++n) {
    QCOMPARE(slot.data[static_cast<std::size_t>(n)], static_cast<int16_t>(n + 1));
  }
  QCOMPARE(slot.rate, uint32_t{48000});
}

// The sample manager shown, as F9 shows it, for the test's steps to act in.
struct Manager {
  DialogsFixture f;
  SampleManagerWindow& d = f.dialogs->sampleManager();

  void Show() {
    d.show();
    f.engine->state.songChanged = false;
  }
  void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  [[nodiscard]] QStringList Lines() const {
    QStringList lines;
    for (int i = 0; i < d.sampleList()->count(); ++i) {
      lines << d.sampleList()->item(i)->text();
    }
    return lines;
  }
  [[nodiscard]] int Selected() const { return d.sampleList()->currentRow(); }
};

// What the live output plays next, pulled as the device pulls, each finished block's
// callback run before the next pull.
std::vector<int16_t> Heard(DialogsFixture& f, std::size_t frames) {
  std::vector<int16_t> out;
  while (out.size() < frames) {
    const std::vector<int16_t> part = f.device->PullNow(1024);
    out.insert(out.end(), part.begin(), part.end());
    f.waveOut->WaitForCallbacks();
  }
  out.resize(frames);
  return out;
}

// `sound` as the preview reads it at the output rate.
std::vector<int16_t> AtOutputRate(const std::vector<int16_t>& sound, uint32_t rate) {
  SamplePreview reading;
  (void)reading.Start({std::make_shared<const SampleData>(sound.begin(), sound.end()), rate});
  std::vector<int16_t> out(SamplePreview::OutputLength(sound.size(), rate), 0);
  reading.MixInto(out.data(), out.size());
  return out;
}

bool Silent(const std::vector<int16_t>& values, std::size_t from = 0) {
  return std::all_of(values.begin() + static_cast<long>(from), values.end(),
                     [](int16_t v) { return v == 0; });
}

void ExpectNoSample(const SampleManagerWindow& d) {
  QCOMPARE(d.nameLabel()->text(), QStringLiteral("---"));
  QCOMPARE(d.sizeLabel()->text(), QStringLiteral("---"));
  QCOMPARE(d.qualityLabel()->text(), QStringLiteral("---"));
  QVERIFY(!d.deleteButton()->isEnabled());
  QVERIFY(!d.replaceButton()->isEnabled());
}

} // namespace

class SampleManagerWindowTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void layoutAndCaptions();
  void openedFromF9TheSamplesButtonAndAnEmptySampleMenu();
  void importingKick();
  void cancelledAndRefusedImports();
  void importAndConvertTakesAStereoFlac();
  void aDroppedStereo24BitWavIsConverted();
  void deletingSelectsTheLastRemainingSample();
  void replacingKeepsSlotCategoryAndPlace();
  void categoryButtons();
  void playAndSpaceHearTheSelectedSample();
  void theImportDialogsPlayTheFileSelectedUntilTheyClose();
};

void SampleManagerWindowTest::layoutAndCaptions() {
  Manager m;
  SampleManagerWindow& d = m.d;
  QCOMPARE(d.windowTitle(), QStringLiteral("Sample Manager"));
  QCOMPARE(d.size(), QSize(408, 327));
  QVERIFY(d.windowFlags().testFlag(Qt::Tool));
  QCOMPARE(d.palette().color(QPalette::Window), QColor(0xB6, 0x8C, 0x63));
  QCOMPARE(d.font().pointSize(), 8);
  QCOMPARE(d.sampleList()->geometry(), QRect(16, 16, 177, 265));
  QCOMPARE(d.sampleList()->palette().color(QPalette::Base), QColor(Qt::white));
  QCOMPARE(d.sampleList()->selectionMode(), QAbstractItemView::SingleSelection);
  QCOMPARE(d.findChild<QFrame*>("Bevel1")->geometry(), QRect(208, 16, 185, 257));
  QCOMPARE(d.findChild<QFrame*>("Bevel2")->geometry(), QRect(216, 104, 169, 2));
  const struct {
    const char* name;
    const char* text;
    QPoint at;
  } labels[] = {
      {"Label1", "Selected sample:", {216, 24}}, {"Label4", "Name:", {216, 48}},
      {"NameLabel", "---", {264, 48}},           {"Label3", "Size:", {216, 64}},
      {"SizeLabel", "---", {264, 64}},           {"Label5", "Quality:", {216, 80}},
      {"QualityLabel", "---", {264, 80}},        {"Label2", "This sample is a...", {216, 120}}};
  for (const auto& l : labels) {
    const auto* label = d.findChild<QLabel*>(l.name);
    QVERIFY2(label != nullptr, l.name);
    QCOMPARE(label->text(), QString::fromLatin1(l.text));
    QCOMPARE(label->pos(), l.at);
  }
  const struct {
    const char* text;
    QPoint at;
    int width;
  } categories[] = {{"drumsample (pitched)", {216, 144}, 145},
                    {"instrument (melodic)", {216, 168}, 113},
                    {"loop (stretched)", {216, 192}, 113}};
  for (int i = 0; i < 3; ++i) {
    const QRadioButton* radio = d.categoryButton(i);
    QCOMPARE(radio->text(), QString::fromLatin1(categories[i].text));
    QCOMPARE(radio->pos(), categories[i].at);
    QCOMPARE(radio->height(), 17);
    // Never narrower than laid out, and wide enough for the caption up to the frame.
    QVERIFY(radio->width() >= categories[i].width);
    QVERIFY(radio->width() >= std::min(radio->sizeHint().width(), 385 - 216));
  }
  QCOMPARE(d.deleteButton()->text(), QStringLiteral("Delete"));
  QCOMPARE(d.deleteButton()->geometry(), QRect(216, 240, 81, 25));
  QCOMPARE(d.replaceButton()->text(), QStringLiteral("Replace"));
  QCOMPARE(d.replaceButton()->geometry(), QRect(304, 240, 83, 25));
  QCOMPARE(d.importButton()->text(), QStringLiteral("Import new sample"));
  QCOMPARE(d.importButton()->geometry(), QRect(16, 288, 177, 25));
  QVERIFY(d.importButton()->isDefault());
  QCOMPARE(d.doneButton()->text(), QStringLiteral("Done"));
  QCOMPARE(d.doneButton()->geometry(), QRect(320, 288, 75, 25));
  QCOMPARE(d.playButton()->text(), QStringLiteral("Play"));
  QCOMPARE(d.playButton()->geometry(), QRect(320, 20, 65, 25));
  for (QPushButton* b : {d.deleteButton(), d.replaceButton()}) {
    const QIcon icon = b->icon();
    QCOMPARE(icon.availableSizes(QIcon::Normal).value(0), QSize(16, 16));
    QCOMPARE(icon.availableSizes(QIcon::Disabled).value(0), QSize(16, 16));
  }

  m.Show();
  QVERIFY(m.Lines().isEmpty());
  ExpectNoSample(d);
  QCOMPARE(d.focusWidget(), d.importButton());
  // The play control sits in the frame, over no other control or text.
  const QRect play = d.playButton()->geometry();
  QVERIFY(d.findChild<QFrame*>("Bevel1")->geometry().contains(play));
  for (const QWidget* other : d.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (other != d.playButton() && other->objectName() != QStringLiteral("Bevel1")) {
      QVERIFY2(!other->geometry().intersects(play), qPrintable(other->objectName()));
    }
  }
  m.Click(d.doneButton());
  QVERIFY(!d.isVisible());
}

void SampleManagerWindowTest::openedFromF9TheSamplesButtonAndAnEmptySampleMenu() {
  DialogsFixture f;
  f.window->SampleManagerClick();
  f.window->lcdMouseDown({66 + 5, 30}); // an empty note with no sample to offer
  QCOMPARE(f.modalShown,
           (std::vector<QString>{"SplashWindow", "SampleManagerWindow", "SampleManagerWindow"}));
  QCOMPARE(f.engine->state.activeStep, 0);
}

void SampleManagerWindowTest::importingKick() {
  Manager m;
  SampleManagerWindow& d = m.d;
  m.Show();
  const std::string kick = WriteWav(m.f.dir, "kick.wav", 4410);
  m.f.prompts.files.push_back(kick);
  m.Click(d.importButton());

  const FileDialogSpec& asked = m.f.prompts.dialogs.back();
  QCOMPARE(asked.title, std::string("Import a new sample"));
  QCOMPARE(asked.filter,
           std::string("Wave-files (*.wav)|*.wav|Raw sample data (*.raw)|*.raw|SMP-Files|*.smp|"
                       "Raw samples (*.sam)|*.sam"));
  QCOMPARE(asked.initialFolder, StartingImportFolder(m.f.settings, m.f.dir.path().string() + "/"));
  QCOMPARE(m.Lines(), QStringList{"01> kick"});
  QCOMPARE(m.Selected(), 0);
  QCOMPARE(d.nameLabel()->text(), QStringLiteral("kick"));
  QCOMPARE(d.sizeLabel()->text(), QStringLiteral("4410 samples"));
  QCOMPARE(d.qualityLabel()->text(), QStringLiteral("44100Hz, 16Bit, Mono"));
  QVERIFY(d.categoryButton(1)->isChecked());
  QCOMPARE(m.f.engine->samples.slots[0].category, uint8_t{1});
  QVERIFY(d.deleteButton()->isEnabled() && d.replaceButton()->isEnabled());
  QVERIFY(m.f.engine->state.songChanged);

  // The next dialog opens where the last file was picked.
  m.f.prompts.files.push_back(std::nullopt);
  m.Click(d.importButton());
  QVERIFY(std::filesystem::equivalent(m.f.prompts.dialogs.back().initialFolder, m.f.dir.path()));
}

void SampleManagerWindowTest::cancelledAndRefusedImports() {
  Manager m;
  m.Show();
  m.f.prompts.files.push_back(std::nullopt);
  m.Click(m.d.importButton());
  QVERIFY(!m.f.engine->state.songChanged);
  m.f.prompts.files.push_back(WriteWav(m.f.dir, "wide.wav", 100, 2));
  m.Click(m.d.importButton());
  QVERIFY(!m.f.prompts.warnings.empty());
  QVERIFY(m.Lines().isEmpty());
  QVERIFY(m.f.engine->state.songChanged);
}

void SampleManagerWindowTest::importAndConvertTakesAStereoFlac() {
  Manager m;
  m.Show();
  QCOMPARE(m.d.convertButton()->text(), QStringLiteral("Import and convert..."));
  m.f.prompts.files.push_back(
      WriteStereo(m.f.dir, "pad.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 3000));
  m.Click(m.d.convertButton());
  QCOMPARE(m.f.prompts.dialogs.back().title, std::string("Import and convert a sample"));
  QVERIFY(m.f.prompts.silent());
  QCOMPARE(m.Lines(), QStringList{"01> pad"});
  ExpectConverted(m.f.engine->samples.slots[0], 3000);
  QCOMPARE(m.d.qualityLabel()->text(), QStringLiteral("48000Hz, 16Bit, Mono"));
  QVERIFY(m.f.engine->state.songChanged);
  QCOMPARE(m.f.window->history().UndoName(), std::string("Import Sample"));
  m.f.window->history().Undo(*m.f.engine);
  QVERIFY(!m.f.engine->samples.slots[0].isUsed());
}

void SampleManagerWindowTest::aDroppedStereo24BitWavIsConverted() {
  Manager m;
  m.Show();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(
                    WriteStereo(m.f.dir, "wide.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 500))),
                QUrl::fromLocalFile(QString::fromStdString(WriteWav(m.f.dir, "kick.wav", 10)))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&m.d, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&m.d, &drop);
  QVERIFY(m.f.prompts.silent());
  QCOMPARE(m.Lines(), (QStringList{"01> wide", "02> kick"}));
  ExpectConverted(m.f.engine->samples.slots[0], 500);
  const auto ramp = lw::test::Ramp(10); // 16-bit mono: imported as before
  const auto& kick = m.f.engine->samples.slots[1].data;
  QVERIFY(std::equal(kick.begin(), kick.end(), ramp.begin(), ramp.end()));
}

void SampleManagerWindowTest::deletingSelectsTheLastRemainingSample() {
  Manager m;
  Engine& e = *m.f.engine;
  PutSample(e, 0, {1, 2}, 44100, SampleCategory::Drum, "a");
  PutSample(e, 3, {1, 2}, 22050, SampleCategory::Loop, "b");
  PutSample(e, 7, {1, 2}, 44100, SampleCategory::Drum, "c");
  e.state.song.step(0, 0, 0, 4).sample = 0;
  m.Show();
  QCOMPARE(m.Lines(), (QStringList{"01> a", "02> b", "03> c"}));
  QCOMPARE(m.Selected(), 2);
  QCOMPARE(m.d.nameLabel()->text(), QStringLiteral("c"));

  m.d.sampleList()->setCurrentRow(1);
  QCOMPARE(m.d.nameLabel()->text(), QStringLiteral("b"));
  QCOMPARE(m.d.qualityLabel()->text(), QStringLiteral("22050Hz, 16Bit, Mono"));
  QVERIFY(m.d.categoryButton(2)->isChecked());
  m.f.prompts.answers.push_back(false);
  m.Click(m.d.deleteButton());
  QCOMPARE(
      m.f.prompts.questions.back(),
      std::string(
          "Are you sure you want to delete this sample (and references to it in your song) ?"));
  QCOMPARE(m.Lines().size(), 3);

  m.d.sampleList()->setCurrentRow(0);
  m.f.prompts.answers.push_back(true);
  m.Click(m.d.deleteButton());
  QCOMPARE(m.Lines(), (QStringList{"01> b", "02> c"}));
  QCOMPARE(m.Selected(), 1);
  QCOMPARE(m.d.nameLabel()->text(), QStringLiteral("c"));
  QCOMPARE(e.state.song.step(0, 0, 0, 4).sample, uint8_t{255});
  QVERIFY(e.state.songChanged);

  m.f.prompts.answers.assign({true, true});
  m.Click(m.d.deleteButton());
  m.Click(m.d.deleteButton());
  QVERIFY(m.Lines().isEmpty());
  ExpectNoSample(m.d);
  QVERIFY(m.d.categoryButton(2)->isChecked()); // the buttons keep their state
}

void SampleManagerWindowTest::replacingKeepsSlotCategoryAndPlace() {
  Manager m;
  Engine& e = *m.f.engine;
  PutSample(e, 0, {1, 2}, 44100, SampleCategory::Instrument, "a");
  PutSample(e, 1, {1, 2, 3}, 8000, SampleCategory::Drum, "b");
  PutSample(e, 2, {1, 2}, 44100, SampleCategory::Loop, "c");
  m.Show();
  m.d.sampleList()->setCurrentRow(1);
  m.f.prompts.answers.push_back(true);
  m.f.prompts.files.push_back(WriteWav(m.f.dir, "kick.wav", 4410));
  m.Click(m.d.replaceButton());
  QCOMPARE(m.f.prompts.questions.back(),
           std::string("Are you sure you want to replace this sample with another one ?\r\n"
                       "The original sample will be deleted after you have selected\r\n"
                       "a new/better one from disk..."));
  QCOMPARE(m.Lines(), (QStringList{"01> a", "02> kick", "03> c"}));
  QCOMPARE(e.samples.slots[1].length, uint32_t{4410});
  QCOMPARE(e.samples.slots[1].category, uint8_t{0});
  QCOMPARE(m.Selected(), 2); // like every refresh
  QVERIFY(e.state.songChanged);
}

void SampleManagerWindowTest::categoryButtons() {
  Manager m;
  Engine& e = *m.f.engine;
  PutSample(e, 5, {1, 2}, 44100, SampleCategory::Instrument, "a");
  m.Show();
  QVERIFY(!e.state.songChanged); // showing a category stores nothing
  QTest::mouseClick(m.d.categoryButton(2), Qt::LeftButton, {}, {4, 8});
  QCOMPARE(e.samples.slots[5].category, uint8_t{2});
  QVERIFY(e.state.songChanged);
  QVERIFY(!m.d.categoryButton(1)->isChecked());
  QTest::mouseClick(m.d.categoryButton(0), Qt::LeftButton, {}, {4, 8});
  QCOMPARE(e.samples.slots[5].category, uint8_t{0});

  m.d.sampleList()->clearSelection();
  QTest::mouseClick(m.d.categoryButton(1), Qt::LeftButton, {}, {4, 8});
  QCOMPARE(e.samples.slots[5].category, uint8_t{0}); // nothing selected: nothing changes
}

void SampleManagerWindowTest::playAndSpaceHearTheSelectedSample() {
  Manager m;
  SampleManagerWindow& d = m.d;
  Engine& e = *m.f.engine;
  m.Show();
  QApplication::setActiveWindow(&d);
  QVERIFY(QTest::qWaitForWindowActive(&d));
  QVERIFY(!d.playButton()->isEnabled());
  d.PlayBtnClick();
  QTest::keyClick(d.sampleList(), Qt::Key_Space);
  QVERIFY2(!m.f.playback->previewing(), "nothing selected, nothing heard");
  QCOMPARE(m.f.waveOut->queuedBlocks(), 0);

  const std::vector<int16_t> snare = lw::test::Ramp(3000);
  std::vector<int16_t> pad(5000);
  for (std::size_t i = 0; i < pad.size(); ++i) {
    pad[i] = static_cast<int16_t>(100 + i % 900);
  }
  PutSample(e, 3, snare, 44100, SampleCategory::Drum, "snare");
  PutSample(e, 7, pad, 22050, SampleCategory::Instrument, "pad");
  d.RefreshSampleList(); // the pad's line, the last, is selected
  QVERIFY(d.playButton()->isEnabled());
  m.Click(d.playButton());
  QCOMPARE(m.f.waveOut->queuedBlocks(), 2); // the whole of it, at once
  const std::vector<int16_t> padHeard = AtOutputRate(pad, 22050);
  QCOMPARE(padHeard.size(), std::size_t{10000});
  std::vector<int16_t> heard = Heard(m.f, 4096);
  QVERIFY(std::equal(heard.begin(), heard.end(), padHeard.begin()));

  // Space on the list plays its selected line, cutting the pad off.
  d.sampleList()->setCurrentRow(0);
  d.sampleList()->setFocus();
  QTest::keyClick(d.sampleList(), Qt::Key_Space);
  QCOMPARE(m.Selected(), 0);
  heard = Heard(m.f, 4096);
  QVERIFY(std::equal(snare.begin(), snare.end(), heard.begin()));
  QVERIFY(Silent(heard, snare.size()));

  // On the focused import button too, the space bar plays instead of importing.
  d.importButton()->setFocus();
  QTest::keyClick(d.importButton(), Qt::Key_Space);
  QVERIFY(m.f.prompts.dialogs.empty());
  heard = Heard(m.f, 1024);
  QVERIFY2(std::equal(heard.begin(), heard.end(), snare.begin()), "from its start again");
  // Closing the window ends the preview.
  m.Click(d.doneButton());
  QCOMPARE(m.f.waveOut->queuedBlocks(), 0);
  QVERIFY(Silent(Heard(m.f, 2048)));
  QVERIFY(!e.playing);
}

void SampleManagerWindowTest::theImportDialogsPlayTheFileSelectedUntilTheyClose() {
  Manager m;
  m.Show();
  const std::string kick = WriteWav(m.f.dir, "kick.wav", 2000);
  const std::vector<int16_t> ramp = lw::test::Ramp(2000);
  for (QPushButton* button : {m.d.importButton(), m.d.convertButton()}) {
    std::vector<int16_t> heard;
    m.f.prompts.whileOpen = [&](const FileDialogSpec& dialog) {
      QVERIFY(dialog.preview);
      dialog.preview(kick);
      heard = Heard(m.f, 1024);
    };
    m.Click(button); // then cancelled
    QCOMPARE(heard.size(), std::size_t{1024});
    QVERIFY(std::equal(heard.begin(), heard.end(), ramp.begin()));
    QCOMPARE(m.f.waveOut->queuedBlocks(), 0); // closing the dialog ends the preview
    QVERIFY(Silent(Heard(m.f, 2048)));
  }
  QVERIFY(m.Lines().isEmpty());
  QVERIFY(m.f.prompts.silent());
}

QTEST_MAIN(SampleManagerWindowTest)
#include "SampleManagerWindowTest.moc"
