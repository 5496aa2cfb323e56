// The main window's ways to files beyond its menus' dialogs: dropped files, the recent
// songs, and what it remembers between runs.
#include "commands/SongCommands.h"
#include "engine/Engine.h"
#include "song/Paths.h"
#include "ui/DialogParts.h"
#include "ui/Drops.h"
#include "ui/Settings.h"
#include "ui/main_window/MainWindow.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>

namespace lw {

namespace {

const QString kMainWindow = QStringLiteral("main");

// A recent song as its menu line shows it: the access number, then the path with the
// home folder shortened to "~".
QString RecentCaption(int index, const QString& path) {
  QString shown = path;
  const QString home = QDir::homePath();
  if (!home.isEmpty() && shown.startsWith(home + '/')) {
    shown = QStringLiteral("~") + shown.mid(home.size());
  }
  shown.replace('&', QStringLiteral("&&"));
  return QStringLiteral("&%1 %2").arg(index + 1).arg(shown);
}

} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  AcceptSongDrag(event);
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (const auto song = TakeSongDrop(event)) {
    OpenGivenSongFile(*song);
  }
}

void MainWindow::OpenGivenSongFile(const std::string& path) {
  if (!AfterOpen(OpenGivenSong(engine_, context_.prompts, path)) &&
      !QFileInfo(QString::fromLocal8Bit(path.c_str())).isFile()) {
    context_.settings.removeRecentSong(QString::fromLocal8Bit(path.c_str()));
  }
}

// The song just opened or saved goes to the top of the recent songs, and the song
// dialogs open in its folder from now on, in this run and the next.
void MainWindow::RememberSong() {
  const std::string& name = engine_.Interface().songFileName;
  if (name.empty()) {
    return;
  }
  context_.settings.addRecentSong(QString::fromLocal8Bit(name.c_str()));
  // The song dialogs do not start where the user cannot keep a song (the demo songs).
  const std::string folder = FolderOf(name);
  if (!folder.empty() && MaySaveBackTo(name, InstalledDataFolder(context_.appDir))) {
    songFolder_ = folder;
    context_.settings.setSongFolder(folder);
  }
}

void MainWindow::RebuildRecentMenu() {
  recentMenu_->clear();
  const QStringList songs = context_.settings.recentSongs();
  for (int i = 0; i < songs.size(); ++i) {
    const QString& path = songs[i];
    QAction* item = recentMenu_->addAction(RecentCaption(i, path));
    item->setToolTip(path);
    connect(item, &QAction::triggered, this,
            [this, path] { OpenGivenSongFile(path.toLocal8Bit().toStdString()); });
  }
  recentMenu_->menuAction()->setEnabled(!songs.isEmpty());
}

void MainWindow::OpenSampleManager() {
  const std::string before = manager_.lastImportFolder;
  dialogs_->ShowSampleManager();
  if (manager_.lastImportFolder != before) {
    context_.settings.setImportFolder(manager_.lastImportFolder);
  }
}

void MainWindow::PlaceAtStart() {
  const QSize outer = frameGeometry().size();
  if (const auto place = VisiblePosition(context_.settings.windowPosition(kMainWindow), outer)) {
    move(*place);
    return;
  }
  CentreOnScreen(this);
}

void MainWindow::RememberPlaces() {
  context_.settings.setWindowPosition(kMainWindow, frameGeometry().topLeft());
  dialogs_->RememberPlaces();
  context_.settings.sync();
}

} // namespace lw
