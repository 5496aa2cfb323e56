#include "MainWindowFixture.h"
#include "commands/SongCommands.h"
#include "samples/SongFile.h"
#include "session/RecoveryFiles.h"
#include "session/RecoveryInstance.h"
#include "session/RecoveryOffer.h"
#include "song/Paths.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <functional>

using namespace lw;
using lw::test::FakePrompts;
using lw::test::MainWindowFixture;
using lw::test::ReadBytes;
using lw::test::TempDir;

namespace {

// A folder standing in for the user's home, with the XDG folders in it.
struct Home {
  TempDir dir;

  [[nodiscard]] std::string State() const { return dir.File("state/loopwren/"); }
  [[nodiscard]] QProcessEnvironment Environment() const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", QString::fromStdString(dir.path().string()));
    environment.insert("XDG_STATE_HOME", QString::fromStdString(dir.File("state")));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.File("config")));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("SDL_AUDIODRIVER", "dummy");
    return environment;
  }
  // The one file of the folder whose name matches `pattern`, or empty.
  [[nodiscard]] std::string Find(const QString& pattern) const {
    const QStringList found =
        QDir(QString::fromStdString(State())).entryList({pattern}, QDir::Files);
    return found.size() == 1 ? State() + found[0].toStdString() : std::string();
  }
  // A start of this process's own, as the program makes it.
  void Start(RecoveryInstance& own) const {
    QVERIFY(own.Start(State(), static_cast<long>(::getpid()), std::time(nullptr)));
  }
};

// True while some process holds the lock of the file.
bool LockedByAnother(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
  ::close(fd);
  return locked;
}

std::string Text(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return {bytes.begin(), bytes.end()};
}

// A song on disk, as the user saved it; gives its tempo.
int32_t WriteSong(const std::string& path) {
  auto engine = test::NewEngine();
  engine->state.song.title.assignText("Before");
  engine->state.songFileName = path;
  FakePrompts prompts;
  SaveSong(*engine, prompts, {});
  return engine->state.song.tempo;
}

void RunMenu(MainWindow& window, const QString& text) {
  for (QAction* action : window.findChildren<QAction*>()) {
    if (action->text() == text) {
      action->trigger();
      return;
    }
  }
  QFAIL(qPrintable("no menu item " + text));
}

// The tempo raised with a click, then two looks at the song 3 s apart: a copy is written.
void EditAndLetTheCopyBeWritten(MainWindowFixture& f) {
  MainWindowFixture::Click(f.Control("plus_10"));
  const auto now = std::chrono::steady_clock::now();
  f.window->autoSave()->Poll(now);
  f.window->autoSave()->Poll(now + std::chrono::seconds(3));
  f.window->autoSave()->writer().Wait();
}

} // namespace

class RecoveryTest : public QObject {
  Q_OBJECT

private Q_SLOTS:
  void theProgramHoldsItsLockWhileItRuns();
  void aKilledRunsEditsComeBackWithYes();
  void aCleanEndRemovesTheCopy();
};

void RecoveryTest::theProgramHoldsItsLockWhileItRuns() {
  Home home;
  const std::string song = home.dir.File("song.LW");
  WriteSong(song);
  QProcess program;
  program.setProcessEnvironment(home.Environment());
  program.start(LOOPWREN_BIN, {QString::fromStdString(song)});
  QVERIFY(program.waitForStarted());
  const QString mine = QStringLiteral("recovery-%1-*.lock").arg(program.processId());
  QVERIFY(QTest::qWaitFor([&] { return !home.Find(mine).empty(); }, 20000));
  const std::string lock = home.Find(mine);
  QVERIFY(LockedByAnother(lock));
  {
    // A start meanwhile leaves the live run's files alone.
    RecoveryInstance own;
    home.Start(own);
    MainWindowFixture f({}, &own, {true});
    QVERIFY(f.prompts.silent());
    QVERIFY(LockedByAnother(lock));
  }
  program.kill(); // SIGKILL
  QVERIFY(program.waitForFinished());
  QVERIFY(!LockedByAnother(lock));
  QVERIFY(FileExists(lock));
  {
    // The next start clears what the dead run left; with no copy there is nothing to ask.
    RecoveryInstance own;
    home.Start(own);
    MainWindowFixture f({}, &own, {true});
    QVERIFY(f.prompts.silent());
    QVERIFY(!FileExists(lock));
  }
}

void RecoveryTest::aKilledRunsEditsComeBackWithYes() {
  Home home;
  const std::string song = home.dir.File("songs/song.LW");
  QDir().mkpath(QString::fromStdString(home.dir.File("songs")));
  const int32_t tempo = WriteSong(song);

  QProcess session;
  session.setProcessEnvironment(home.Environment());
  session.start(CRASH_SESSION_BIN, {QString::fromStdString(song)});
  QVERIFY(session.waitForStarted());
  QVERIFY(
      QTest::qWaitFor([&] { return session.readAllStandardOutput().contains("edited"); }, 20000));
  const QString name = QStringLiteral("recovery-%1-*").arg(session.processId());
  // The copy comes a few seconds after the edits, made by the run's own timer.
  QVERIFY(QTest::qWaitFor([&] { return !home.Find(name + ".info").empty(); }, 20000));
  const std::string copy = home.Find(name + ".LW");
  const std::string info = home.Find(name + ".info");
  const std::string lock = home.Find(name + ".lock");
  QVERIFY(LockedByAnother(lock));
  session.kill(); // SIGKILL: nothing is cleaned up
  QVERIFY(session.waitForFinished());

  // On disk: a whole song file, and where it belongs.
  QVERIFY(!CheckSongCopy(copy));
  const std::optional<RecoveryInfo> stored = DecodeRecoveryInfo(Text(info));
  QVERIFY(stored);
  QCOMPARE(stored->songFileName, song);
  QCOMPARE(stored->title, std::string("Rescued"));
  const std::vector<uint8_t> copied = ReadBytes(copy);

  // The next start, on no song, with the user answering Yes.
  RecoveryInstance own;
  home.Start(own);
  MainWindowFixture f({}, &own, {true});
  const QString when =
      QDateTime::fromMSecsSinceEpoch(stored->savedAt).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
  QCOMPARE(f.prompts.questions,
           std::vector<std::string>{
               "LoopWren did not close properly. Recover your unsaved song \"Rescued\" from " +
               when.toStdString() + "?"});
  QVERIFY(f.prompts.notices.empty() && f.prompts.ioErrors.empty());

  // The edits are back, unsaved, under the song's own file name, and the window shows them.
  const SongState& state = f.engine->state;
  QCOMPARE(state.song.tempo, tempo + 20);
  QCOMPARE(state.song.step(0, 0, 0, 0).note % 12, 7);
  QCOMPARE(state.song.title.text(), std::string("Rescued"));
  QVERIFY(state.songChanged);
  QCOMPARE(state.songFileName, song);
  QCOMPARE(f.window->tempoBox()->text(), QString::number(tempo + 20));
  // The copy is this run's own now; the dead run's files are gone.
  QCOMPARE(ReadBytes(own.CopyPath()), copied);
  QVERIFY(!FileExists(copy) && !FileExists(info) && !FileExists(lock));

  // Undo never takes the recovered song for the saved one.
  MainWindowFixture::Click(f.Control("plus_10"));
  RunMenu(*f.window, "Undo Tempo");
  QCOMPARE(state.song.tempo, tempo + 20);
  QVERIFY(state.songChanged);

  // Save writes the song where it belongs, and the copy goes.
  RunMenu(*f.window, "Save");
  QVERIFY(!state.songChanged);
  QCOMPARE(ReadBytes(song), copied);
  f.window->autoSave()->writer().Wait();
  QVERIFY(!FileExists(own.CopyPath()));
  QVERIFY(FileExists(own.LockPath()));
}

void RecoveryTest::aCleanEndRemovesTheCopy() {
  const struct {
    const char* how;
    std::deque<bool> answers;
    std::function<void(MainWindowFixture&)> act;
    bool copyKept;
    bool lockKept;
  } cases[] = {
      {"closed, not saving", {true}, [](MainWindowFixture& f) { f.window->close(); }, false, false},
      {"close refused", {false}, [](MainWindowFixture& f) { f.window->close(); }, true, true},
      {"new song, not saving",
       {true},
       [](MainWindowFixture& f) { RunMenu(*f.window, "New"); },
       false,
       true},
      {"new song refused",
       {false},
       [](MainWindowFixture& f) { RunMenu(*f.window, "New"); },
       true,
       true},
      {"saved",
       {},
       [](MainWindowFixture& f) {
         f.engine->state.songFileName = f.dir.File("saved.LW");
         RunMenu(*f.window, "Save");
       },
       false,
       true},
  };
  for (const auto& c : cases) {
    Home home;
    RecoveryInstance own;
    home.Start(own);
    MainWindowFixture f({}, &own);
    f.window->show();
    EditAndLetTheCopyBeWritten(f);
    QVERIFY2(FileExists(own.CopyPath()), c.how);
    f.prompts.answers = c.answers;
    c.act(f);
    f.window->autoSave()->writer().Wait();
    QVERIFY2(FileExists(own.CopyPath()) == c.copyKept, c.how);
    QVERIFY2(FileExists(own.InfoPath()) == c.copyKept, c.how);
    QVERIFY2(FileExists(own.LockPath()) == c.lockKept, c.how);
  }
}

QTEST_MAIN(RecoveryTest)
#include "RecoveryTest.moc"
