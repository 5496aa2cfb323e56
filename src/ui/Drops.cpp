#include "ui/Drops.h"

#include "commands/SongCommands.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace lw {

std::vector<std::string> LocalFiles(const QMimeData* data) {
  std::vector<std::string> files;
  if (data == nullptr || !data->hasUrls()) {
    return files;
  }
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) {
      files.push_back(url.toLocalFile().toLocal8Bit().toStdString());
    }
  }
  return files;
}

std::optional<std::string> FirstSong(const QMimeData* data) {
  for (const std::string& file : LocalFiles(data)) {
    if (LooksLikeSong(file)) {
      return file;
    }
  }
  return std::nullopt;
}

void AcceptSongDrag(QDragEnterEvent* event) {
  if (FirstSong(event->mimeData())) {
    event->acceptProposedAction();
  }
}

std::optional<std::string> TakeSongDrop(QDropEvent* event) {
  auto song = FirstSong(event->mimeData());
  if (song) {
    event->acceptProposedAction();
  }
  return song;
}

} // namespace lw
