// The File menu as a user meets it: Open over unsaved work, Save of a demo song, and
// where the render dialog starts.
#include "MainWindowFixture.h"
#include "commands/SongCommands.h"
#include "song/Paths.h"

#include <QAction>
#include <QTest>

#include <filesystem>

using namespace lw;
using namespace lw::test;

class FileMenuTest : public QObject {
  Q_OBJECT
private Q_SLOTS:
  void openAsksBeforeUnsavedWorkIsLost();
  void aDemoSongIsSavedAsANewSong();
  void renderStartsWithTheSongsAndKeepsItsFolder();
};

namespace {

void RunMenu(MainWindow& window, const QString& text) {
  for (QAction* action : window.findChildren<QAction*>()) {
    if (action->text() == text) {
      action->trigger();
      return;
    }
  }
  QFAIL(qPrintable("no menu item " + text));
}

// A saved song with the given tempo.
std::string WriteSong(const std::string& path, int32_t tempo) {
  auto engine = NewEngine();
  engine->state.song.tempo = tempo;
  engine->state.songFileName = path;
  FakePrompts quiet;
  if (!SaveSong(*engine, quiet, {})) {
    return {};
  }
  return path;
}

} // namespace

void FileMenuTest::openAsksBeforeUnsavedWorkIsLost() {
  MainWindowFixture f;
  const std::string other = WriteSong(f.dir.File("other.LW"), 99);
  QVERIFY(!other.empty());
  MainWindowFixture::Click(f.Control("plus_10")); // unsaved work, one undo step
  QCOMPARE(f.engine->state.song.tempo, 130);
  const std::string question = "Changes were made to the song...\r\nDo you really want to open \"" +
                               other + "\" without saving ?";

  // No: everything stays, the undo history too.
  f.prompts.files.emplace_back(other);
  f.prompts.answers.push_back(false);
  RunMenu(*f.window, "Open");
  QCOMPARE(f.prompts.questions, std::vector<std::string>{question});
  QCOMPARE(f.engine->state.song.tempo, 130);
  QVERIFY(f.engine->state.songChanged);
  QVERIFY(f.engine->state.songFileName.empty());
  QVERIFY(f.window->history().CanUndo());

  // A cancelled dialog asks nothing.
  f.prompts.files.emplace_back(std::nullopt);
  RunMenu(*f.window, "Open");
  QCOMPARE(f.prompts.questions.size(), std::size_t{1});

  // Yes: the song is replaced.
  f.prompts.files.emplace_back(other);
  f.prompts.answers.push_back(true);
  RunMenu(*f.window, "Open");
  QCOMPARE(f.prompts.questions.size(), std::size_t{2});
  QCOMPARE(f.engine->state.song.tempo, 99);
  QVERIFY(!f.engine->state.songChanged);
}

void FileMenuTest::aDemoSongIsSavedAsANewSong() {
  TempDir prefix;
  const std::string program = prefix.File("bin") + "/";
  const std::string demos = InstalledDataFolder(program) + "Samples/demo/";
  std::filesystem::create_directories(demos);
  const std::string demo = WriteSong(demos + "first-light.LW", 111);
  QVERIFY(!demo.empty());
  const auto demoBytes = ReadBytes(demo);

  MainWindowFixture f(demo, nullptr, {}, program);
  QCOMPARE(f.engine->state.song.tempo, 111);
  QVERIFY2(f.window->songFolder() != demos, "the song dialogs do not start among the demos");
  MainWindowFixture::Click(f.Control("plus_10"));

  // Save asks for a name, as for a new song; cancelling writes nothing anywhere.
  f.prompts.files.emplace_back(std::nullopt);
  RunMenu(*f.window, "Save");
  QCOMPARE(f.prompts.dialogs.size(), std::size_t{1});
  QCOMPARE(f.prompts.dialogs[0].title, std::string("Save your song"));
  QVERIFY(f.prompts.dialogs[0].initialFolder != demos);
  QVERIFY(f.engine->state.songChanged);

  const std::string mine = f.dir.File("mine.LW");
  f.prompts.files.emplace_back(mine);
  RunMenu(*f.window, "Save");
  QCOMPARE(f.engine->state.songFileName, mine);
  QVERIFY(!f.engine->state.songChanged);
  QCOMPARE(ReadBytes(demo), demoBytes);
  QVERIFY(std::filesystem::exists(mine));

  // The song now has a home of the user's: Save writes there without asking.
  MainWindowFixture::Click(f.Control("plus_10"));
  RunMenu(*f.window, "Save");
  QCOMPARE(f.prompts.dialogs.size(), std::size_t{2});
  QVERIFY(!f.engine->state.songChanged);
}

void FileMenuTest::renderStartsWithTheSongsAndKeepsItsFolder() {
  const auto renderPattern = [](MainWindowFixture& f) {
    for (QAction* action : f.window->findChildren<QAction*>()) {
      if (action->text() == QStringLiteral("This pattern")) {
        action->trigger();
        return;
      }
    }
    QFAIL("no render item");
  };
  {
    MainWindowFixture f;
    f.prompts.files.emplace_back(std::nullopt);
    renderPattern(f);
    QCOMPARE(f.prompts.dialogs.size(), std::size_t{1});
    // Not the program's folder (an installed program's is /usr/bin).
    QCOMPARE(f.prompts.dialogs[0].initialFolder, f.window->songFolder());
    QVERIFY(f.prompts.dialogs[0].initialFolder != f.dir.path().string() + "/");

    const std::string takes = f.dir.File("takes");
    std::filesystem::create_directories(takes);
    f.prompts.files.emplace_back(takes + "/loop");
    renderPattern(f);
    QVERIFY(std::filesystem::exists(takes + "/loop.wav"));
    f.prompts.files.emplace_back(std::nullopt);
    renderPattern(f);
    QCOMPARE(f.prompts.dialogs.back().initialFolder, takes + "/");
    // The next run starts there too.
    QCOMPARE(StartingRenderFolder(f.settings, "/nowhere/"), takes + "/");
    std::filesystem::remove_all(takes);
    QCOMPARE(StartingRenderFolder(f.settings, f.dir.path().string() + "/"), f.window->songFolder());
  }
}

QTEST_MAIN(FileMenuTest)
#include "FileMenuTest.moc"
