#pragma once

#include <optional>
#include <string>
#include <vector>

class QDragEnterEvent;
class QDropEvent;
class QMimeData;

namespace lw {

// The local files a drag carries, in the order given.
[[nodiscard]] std::vector<std::string> LocalFiles(const QMimeData* data);

// The first of them that is meant as a song, if any.
[[nodiscard]] std::optional<std::string> FirstSong(const QMimeData* data);

// A window that opens dropped songs takes a drag that carries one, and its drop.
void AcceptSongDrag(QDragEnterEvent* event);
[[nodiscard]] std::optional<std::string> TakeSongDrop(QDropEvent* event);

} // namespace lw
