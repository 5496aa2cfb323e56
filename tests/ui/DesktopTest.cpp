// What users expect of a desktop program beyond its windows' own controls: files dropped
// on the windows, the menus' keys from every window, recent songs, and the folders and
// window places remembered between runs.
#include "DialogsFixture.h"
#include "WavBuilder.h"
#include "commands/SampleCommands.h"
#include "commands/SongCommands.h"
#include "ui/QtPrompts.h"
#include "ui/SampleManagerWindow.h"
#include "ui/SequenceGrid.h"
#include "ui/SequencerWindow.h"
#include "ui/Settings.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QtTest>

#include <filesystem>

using namespace lw;
using lw::test::DialogsFixture;
using lw::test::TempDir;

namespace {

std::string WriteWav(const TempDir& dir, const std::string& name, uint16_t channels = 1) {
  lw::test::WavBuilder wav;
  wav.channels = channels;
  wav.Samples(lw::test::Ramp(100));
  std::string path = dir.File(name);
  lw::test::WriteBytes(path, wav.Build());
  return path;
}

// A song saved by the program, with a tempo to recognise it by.
std::string WriteSong(const TempDir& dir, const std::string& name, int32_t tempo) {
  auto engine = lw::test::NewEngine();
  engine->state.song.tempo = tempo;
  engine->state.songFileName = dir.File(name);
  lw::test::FakePrompts quiet;
  if (!SaveSong(*engine, quiet, dir.path().string())) {
    qFatal("the test song could not be written");
  }
  return dir.File(name);
}

// Drags the files over `target` and drops them, as a file manager would. True when the
// window accepted the drag.
bool Drop(QWidget* target, const std::vector<std::string>& files) {
  if (!target->acceptDrops()) {
    return false; // the desktop would not offer the drop at all
  }
  QMimeData data;
  QList<QUrl> urls;
  for (const std::string& file : files) {
    urls << QUrl::fromLocalFile(QString::fromStdString(file));
  }
  data.setUrls(urls);
  const QPoint at(10, 10);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) {
    return false;
  }
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

} // namespace

class DesktopTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void songsDroppedOnEitherWindowOpen();
  void samplesDroppedOnTheManagerImport();
  void recentSongsKeepTheLastEight();
  void menuKeysWorkFromTheSequencer();
  void importFolderStartsWhereUsersKeepSamples();
  void windowsComeBackWhereTheyWereAndStayOnScreen();
  void fileDialogsStartInAFolderWithAnEmptyName();
  void fileDialogsTellAPreviewEachFileSelected();
};

void DesktopTest::songsDroppedOnEitherWindowOpen() {
  DialogsFixture f;
  const std::string first = WriteSong(f.dir, "first.LW", 140);
  const std::string second = WriteSong(f.dir, "second.song", 97); // known by its first bytes
  const std::string kick = WriteWav(f.dir, "kick.wav");
  f.window->show();

  QVERIFY2(!Drop(f.window.get(), {kick}), "a sample is no song");
  QVERIFY(Drop(f.window.get(), {kick, first}));
  QCOMPARE(f.engine->state.song.tempo, 140);
  QCOMPARE(f.window->tempoBox()->text(), QStringLiteral("140"));
  QCOMPARE(f.engine->state.songFileName, first);
  QVERIFY(!f.engine->state.songChanged);

  // Unsaved work is asked about; No keeps it.
  f.engine->state.songChanged = true;
  SequencerWindow& sequencer = f.dialogs->sequencer();
  f.dialogs->ShowSequencer();
  f.prompts.answers.push_back(false);
  QVERIFY(Drop(&sequencer, {second}));
  QCOMPARE(f.prompts.questions.size(), std::size_t{1});
  QCOMPARE(f.engine->state.song.tempo, 140);
  QVERIFY(f.engine->state.songChanged);
  f.prompts.answers.push_back(true);
  QVERIFY(Drop(&sequencer, {second}));
  QCOMPARE(f.engine->state.song.tempo, 97);
  QVERIFY(!f.engine->state.songChanged);
  QVERIFY(f.prompts.dialogs.empty()); // no file dialog on the way
  f.window->hide();
}

void DesktopTest::samplesDroppedOnTheManagerImport() {
  DialogsFixture f;
  SampleManagerWindow& manager = f.dialogs->sampleManager();
  manager.show();
  const std::string before = f.window->sampleManager().lastImportFolder;
  QVERIFY(Drop(&manager, {WriteWav(f.dir, "kick.wav"), WriteWav(f.dir, "wide.wav", 2),
                          WriteWav(f.dir, "snare.wav")}));
  QStringList lines;
  for (int i = 0; i < manager.sampleList()->count(); ++i) {
    lines << manager.sampleList()->item(i)->text();
  }
  // The stereo file, which "Import new sample" refuses, is converted.
  QCOMPARE(lines, (QStringList{"01> kick", "02> wide", "03> snare"}));
  QVERIFY(f.prompts.warnings.empty());
  QCOMPARE(manager.sampleList()->currentRow(), 2);
  QVERIFY(f.engine->state.songChanged);
  QCOMPARE(f.window->sampleManager().lastImportFolder, before);
  manager.hide();
}

void DesktopTest::recentSongsKeepTheLastEight() {
  DialogsFixture f;
  f.window->show();
  QApplication::setActiveWindow(f.window.get());
  QMenu* recent = f.window->recentMenu();
  QVERIFY(!recent->menuAction()->isEnabled());
  std::vector<std::string> songs;
  for (int i = 0; i < 10; ++i) {
    songs.push_back(WriteSong(f.dir, "song" + std::to_string(i) + ".LW", 100 + i));
    f.prompts.files.emplace_back(songs.back());
    QTest::keyClick(f.window.get(), Qt::Key_O, Qt::ControlModifier); // File > Open
  }
  f.window->OpenGivenSongFile(songs[4]); // again: it moves to the top, not in twice
  Q_EMIT f.window->menuBar()->actions().front()->menu()->aboutToShow();
  QStringList shown;
  for (QAction* item : recent->actions()) {
    shown << item->toolTip();
  }
  QStringList expected;
  for (int i : {4, 9, 8, 7, 6, 5, 3, 2}) {
    expected << QString::fromStdString(songs[static_cast<std::size_t>(i)]);
  }
  QCOMPARE(shown, expected);
  QVERIFY(recent->actions().front()->text().startsWith(QStringLiteral("&1 ")));

  // An entry opens its song; one whose file is gone says so and leaves the list.
  recent->actions()[3]->trigger();
  QCOMPARE(f.engine->state.song.tempo, 107);
  std::filesystem::remove(songs[2]);
  recent->actions().back()->trigger();
  QCOMPARE(f.prompts.notices.back().rfind("Error opening LoopWren Track", 0), std::size_t{0});
  QVERIFY(!f.settings.recentSongs().contains(QString::fromStdString(songs[2])));
  QCOMPARE(f.engine->state.song.tempo, 107);
  QCOMPARE(f.engine->state.songFileName, songs[7]); // the song keeps its own name
  f.window->hide();
}

// The sequencer stays beside the main window; the menus' keys work while it has the
// focus, but its edit boxes keep their own editing keys.
void DesktopTest::menuKeysWorkFromTheSequencer() {
  DialogsFixture f;
  f.window->show();
  SequencerWindow& sequencer = f.dialogs->sequencer();
  f.dialogs->ShowSequencer();
  QApplication::setActiveWindow(&sequencer);
  QVERIFY(QTest::qWaitForWindowActive(&sequencer));
  QLineEdit* title = sequencer.titleBox();
  title->setFocus();

  QTest::keyClick(title, Qt::Key_S, Qt::ControlModifier);
  QCOMPARE(f.prompts.dialogs.back().title, std::string("Save your song"));
  QTest::keyClick(title, Qt::Key_F9);
  QCOMPARE(f.modalShown.back(), QStringLiteral("SampleManagerWindow"));
  QTest::keyClick(title, Qt::Key_B, Qt::ControlModifier);
  QCOMPARE(f.modalShown.back(), QStringLiteral("BounceDialog"));

  // Copy and paste in the title box are the box's own; elsewhere they are the menus'.
  f.engine->state.song.step(0, 0, 0, 0).note = 55;
  QTest::keyClick(sequencer.seq(), Qt::Key_C, Qt::ControlModifier); // Copy Pattern
  f.engine->state.editPattern = 1;
  QGuiApplication::clipboard()->setText(QStringLiteral("Tune"));
  title->clear();
  QTest::keyClick(title, Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(title->text(), QStringLiteral("Tune"));
  QVERIFY2(f.engine->state.song.step(0, 1, 0, 0).note != 55, "no pattern was pasted");
  QTest::keyClick(sequencer.seq(), Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(f.engine->state.song.step(0, 1, 0, 0).note, uint8_t{55});
  sequencer.hide();
  f.window->hide();
}

void DesktopTest::importFolderStartsWhereUsersKeepSamples() {
  TempDir home;
  const QByteArray savedHome = qgetenv("HOME");
  const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("HOME", QByteArray::fromStdString(home.path().string()));
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.File(".config")));
  const std::string kit = home.File("kit");
  ProgramSettings settings(QString::fromStdString(home.File("settings.conf")));

  // Step by step, each place appears and is then preferred over the ones before.
  const std::string installed = home.File("share/loopwren/Samples");
  const std::string program = home.File("bin") + "/"; // an installed program's folder
  const struct {
    std::string create; // a folder made before the question
    std::string remembered;
    std::string import;
    std::string songs;
  } steps[] = {
      {"", "", QDir::homePath().toStdString(), QDir::homePath().toStdString()},
      {home.File("Music"), "", home.File("Music"), home.File("Music")},
      {installed, "", installed, home.File("Music")},
      {program + "Samples", "", program + "Samples", program},
      {"", kit, program + "Samples", program}, // remembered, but not there (an unplugged disk)
      {kit, kit, kit, kit},
  };
  for (const auto& step : steps) {
    if (!step.create.empty()) {
      std::filesystem::create_directories(step.create);
    }
    settings.setImportFolder(step.remembered);
    settings.setSongFolder(step.remembered);
    QCOMPARE(StartingImportFolder(settings, program), step.import);
    QCOMPARE(StartingSongFolder(settings, program), step.songs);
  }
  qputenv("HOME", savedHome);
  qputenv("XDG_CONFIG_HOME", savedConfig);

  // The folder of a file picked in the manager's import is the next run's start.
  DialogsFixture f;
  const std::string dir = f.dir.File("drums");
  std::filesystem::create_directories(dir);
  const std::string file = dir + "/kick.wav";
  std::filesystem::copy_file(WriteWav(f.dir, "kick.wav"), file);
  f.prompts.files.emplace_back(file);
  f.user = [](QDialog& d) { static_cast<SampleManagerWindow&>(d).ImportBtnClick(); };
  f.window->SampleManagerClick();
  QVERIFY(std::filesystem::equivalent(StartingImportFolder(f.settings, "/nowhere/"), dir));
  f.prompts.files.emplace_back(std::nullopt);
  f.dialogs->sampleManager().ImportBtnClick();
  QVERIFY(std::filesystem::equivalent(f.prompts.dialogs.back().initialFolder, dir));
}

void DesktopTest::windowsComeBackWhereTheyWereAndStayOnScreen() {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  DialogsFixture f;
  MainWindow& w = *f.window;
  SequencerWindow& sequencer = f.dialogs->sequencer();
  // Placed low on the screen, the sequencer cannot go below the main window.
  w.move(screen.left() + 10, screen.bottom() - w.frameGeometry().height() - 20);
  w.show();
  f.dialogs->ShowSequencer();
  QVERIFY(screen.contains(sequencer.frameGeometry()));

  // Moved by the user, both come back there; a place off every screen is forgotten.
  w.move(screen.left() + 30, screen.top() + 20);
  sequencer.move(screen.left() + 50, screen.top() + 5);
  w.RememberPlaces();
  sequencer.hide();
  w.move(screen.left() + 60, screen.top() + 60);
  w.PlaceAtStart();
  QCOMPARE(w.frameGeometry().topLeft(), QPoint(screen.left() + 30, screen.top() + 20));
  f.dialogs->ShowSequencer();
  QCOMPARE(sequencer.frameGeometry().topLeft(), QPoint(screen.left() + 50, screen.top() + 5));

  f.settings.setWindowPosition(QStringLiteral("main"), {screen.right() + 5000, 0});
  w.PlaceAtStart();
  QVERIFY((w.frameGeometry().center() - screen.center()).manhattanLength() <= 2);
  sequencer.hide();
  w.hide();
}

void DesktopTest::fileDialogsStartInAFolderWithAnEmptyName() {
  TempDir dir;
  QtPrompts prompts;
  const struct {
    std::string asked;
    std::string shown;
  } cases[] = {{dir.File("Samples"), dir.path().string()},
               {dir.File("a/b/c"), dir.path().string()},
               {dir.path().string(), dir.path().string()}};
  for (const auto& c : cases) {
    QString folder;
    QString name = QStringLiteral("unset");
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog != nullptr) {
        folder = dialog->directory().absolutePath();
        name = dialog->findChild<QLineEdit*>("fileNameEdit")->text();
        dialog->reject();
      }
    });
    QVERIFY(!prompts.AskOpenFile(ImportSampleDialog(c.asked)));
    QCOMPARE(folder, QString::fromStdString(c.shown));
    QCOMPARE(name, QString());
  }
}

// The toolkit's own dialog, its file list selected as a click selects it: each file is
// passed on, a folder is not, and a dialog without a preview is left as it was.
void DesktopTest::fileDialogsTellAPreviewEachFileSelected() {
  TempDir dir;
  const std::string kick = dir.File("kick.wav");
  const std::string snare = dir.File("snare.wav");
  lw::test::WriteBytes(kick, {1});
  lw::test::WriteBytes(snare, {2});
  std::filesystem::create_directory(dir.File("more"));
  QtPrompts prompts;
  for (const bool listening : {true, false}) {
    std::vector<std::string> heard;
    FileDialogSpec spec = ImportSampleDialog(dir.path().string());
    if (listening) {
      spec.preview = [&](const std::string& path) { heard.push_back(path); };
    }
    bool ownDialog = false;
    bool selected = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) {
        return;
      }
      ownDialog = dialog->testOption(QFileDialog::DontUseNativeDialog);
      auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
      auto* model = qobject_cast<QFileSystemModel*>(list->model());
      for (const std::string& path : {kick, dir.File("more"), snare}) {
        const QModelIndex index = model->index(QString::fromStdString(path));
        selected = index.isValid();
        if (!selected) {
          break;
        }
        list->setCurrentIndex(index);
      }
      dialog->reject();
    });
    QVERIFY(!prompts.AskOpenFile(spec));
    QVERIFY(selected);
    QCOMPARE(ownDialog, listening);
    QCOMPARE(heard,
             listening ? (std::vector<std::string>{kick, snare}) : std::vector<std::string>{});
  }
}

QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
