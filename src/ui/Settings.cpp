#include "ui/Settings.h"

#include "song/Paths.h"
#include "ui/ExportChoice.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>

#include <array>

namespace lw {

namespace {

const QString kImportFolder = QStringLiteral("folders/import");
const QString kSongFolder = QStringLiteral("folders/songs");
const QString kRenderFolder = QStringLiteral("folders/renders");
const QString kRecent = QStringLiteral("recent/songs");
const QString kExportKind = QStringLiteral("export/kind");
const QString kExportFormat = QStringLiteral("export/format");
const QString kExportQuality = QStringLiteral("export/quality");
const QString kExportStems = QStringLiteral("export/stems");

// What to render, kept by name rather than by number.
constexpr std::array<const char*, 3> kKindNames{"pattern", "song", "songloop"};

const QString kAudioOutput = QStringLiteral("audio/output");
const QString kMidiMapping = QStringLiteral("midi/mapping");
const QString kSync = QStringLiteral("audio/sync");
const QString kLink = QStringLiteral("audio/link");
const QString kWindowScale = QStringLiteral("view/scale");
const QString kMidiExcludedPorts = QStringLiteral("midi/excludedPorts");

QString PositionKey(const QString& window) {
  return QStringLiteral("windows/") + window;
}

bool IsFolder(const std::string& path) {
  return !path.empty() && QFileInfo(QString::fromLocal8Bit(path.c_str())).isDir();
}

// The screen whose available area holds most of `area`, or the primary screen.
QRect BestScreenArea(QRect area) {
  QRect best;
  qint64 bestOverlap = -1;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect part = screen->availableGeometry().intersected(area);
    const qint64 overlap = part.isEmpty() ? 0 : qint64{part.width()} * part.height();
    if (overlap > bestOverlap) {
      bestOverlap = overlap;
      best = screen->availableGeometry();
    }
  }
  if (bestOverlap <= 0 && QGuiApplication::primaryScreen() != nullptr) {
    best = QGuiApplication::primaryScreen()->availableGeometry();
  }
  return best;
}

} // namespace

ProgramSettings::ProgramSettings()
    : store_(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                         QStringLiteral("loopwren"), QStringLiteral("loopwren"))) {
}

ProgramSettings::ProgramSettings(const QString& file)
    : store_(std::make_unique<QSettings>(file, QSettings::IniFormat)) {
}

ProgramSettings::~ProgramSettings() = default;

std::string ProgramSettings::importFolder() const {
  return store_->value(kImportFolder).toString().toLocal8Bit().toStdString();
}

void ProgramSettings::setImportFolder(const std::string& folder) {
  store_->setValue(kImportFolder, QString::fromLocal8Bit(folder.c_str()));
}

std::string ProgramSettings::songFolder() const {
  return store_->value(kSongFolder).toString().toLocal8Bit().toStdString();
}

void ProgramSettings::setSongFolder(const std::string& folder) {
  store_->setValue(kSongFolder, QString::fromLocal8Bit(folder.c_str()));
}

std::string ProgramSettings::audioOutput() const {
  return store_->value(kAudioOutput).toString().toStdString();
}

void ProgramSettings::setAudioOutput(const std::string& choice) {
  store_->setValue(kAudioOutput, QString::fromStdString(choice));
}

bool ProgramSettings::linkOn() const {
  return store_->value(kLink, false).toBool();
}

void ProgramSettings::setLinkOn(bool on) {
  store_->setValue(kLink, on);
}

double ProgramSettings::windowScale() const {
  const double scale = store_->value(kWindowScale, 1.0).toDouble();
  return scale == 1.5 || scale == 2.0 ? scale : 1.0;
}

void ProgramSettings::setWindowScale(double scale) {
  store_->setValue(kWindowScale, scale);
}

std::string ProgramSettings::timeKeeper() const {
  return store_->value(kSync).toString().toStdString();
}

void ProgramSettings::setTimeKeeper(const std::string& key) {
  store_->setValue(kSync, QString::fromStdString(key));
}

std::string ProgramSettings::midiMapping() const {
  return store_->value(kMidiMapping).toString().toStdString();
}

void ProgramSettings::setMidiMapping(const std::string& text) {
  store_->setValue(kMidiMapping, QString::fromStdString(text));
}

std::string ProgramSettings::midiExcludedPorts() const {
  return store_->value(kMidiExcludedPorts).toString().toStdString();
}

void ProgramSettings::setMidiExcludedPorts(const std::string& names) {
  store_->setValue(kMidiExcludedPorts, QString::fromStdString(names));
}

std::string ProgramSettings::renderFolder() const {
  return store_->value(kRenderFolder).toString().toLocal8Bit().toStdString();
}

void ProgramSettings::setRenderFolder(const std::string& folder) {
  store_->setValue(kRenderFolder, QString::fromLocal8Bit(folder.c_str()));
}

ExportChoice ProgramSettings::exportChoice() const {
  ExportChoice choice;
  const QString kind = store_->value(kExportKind).toString();
  for (std::size_t k = 0; k < kKindNames.size(); ++k) {
    if (kind == QLatin1String(kKindNames[k])) {
      choice.kind = static_cast<RenderKind>(k);
    }
  }
  if (const auto format = FormatNamed(store_->value(kExportFormat).toString().toStdString())) {
    choice.options.format = *format;
  }
  bool isNumber = false;
  const double quality = store_->value(kExportQuality).toDouble(&isNumber);
  if (isNumber && quality >= 0 && quality <= 1) {
    choice.options.quality = quality;
  }
  // QVariant takes any text but "false" and "0" for true; only a kept true is one.
  choice.options.stems = store_->value(kExportStems).toString() == QLatin1String("true");
  return choice;
}

void ProgramSettings::setExportChoice(const ExportChoice& choice) {
  store_->setValue(kExportKind,
                   QLatin1String(kKindNames.at(static_cast<std::size_t>(choice.kind))));
  store_->setValue(kExportFormat, QLatin1String(InfoOf(choice.options.format).name));
  store_->setValue(kExportQuality, choice.options.quality);
  store_->setValue(kExportStems, choice.options.stems);
}

std::optional<QPoint> ProgramSettings::windowPosition(const QString& window) const {
  const QVariant value = store_->value(PositionKey(window));
  if (!value.canConvert<QPoint>() || !value.isValid()) {
    return std::nullopt;
  }
  return value.toPoint();
}

void ProgramSettings::setWindowPosition(const QString& window, QPoint position) {
  store_->setValue(PositionKey(window), position);
}

QStringList ProgramSettings::recentSongs() const {
  QStringList songs = store_->value(kRecent).toStringList();
  songs.removeAll(QString());
  songs.removeDuplicates();
  return songs.mid(0, kRecentSongs);
}

void ProgramSettings::addRecentSong(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  QStringList songs = recentSongs();
  songs.removeAll(absolute);
  songs.prepend(absolute);
  store_->setValue(kRecent, songs.mid(0, kRecentSongs));
}

void ProgramSettings::removeRecentSong(const QString& path) {
  QStringList songs = recentSongs();
  songs.removeAll(QFileInfo(path).absoluteFilePath());
  store_->setValue(kRecent, songs);
}

void ProgramSettings::sync() {
  store_->sync();
}

namespace {

// The user's music folder when there is one, else home.
std::string MusicOrHome() {
  const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
  if (!music.isEmpty() && QFileInfo(music).isDir()) {
    return music.toLocal8Bit().toStdString();
  }
  return QDir::homePath().toLocal8Bit().toStdString();
}

} // namespace

std::string StartingImportFolder(const ProgramSettings& settings, const std::string& appDir) {
  std::string remembered = settings.importFolder();
  if (IsFolder(remembered)) {
    return remembered;
  }
  std::string kit = FindDataFolder(appDir, "Samples");
  return kit.empty() ? MusicOrHome() : kit;
}

std::string StartingSongFolder(const ProgramSettings& settings, const std::string& appDir) {
  std::string remembered = settings.songFolder();
  if (IsFolder(remembered)) {
    return remembered;
  }
  // A program kept in its own folder with its samples (a build folder) keeps its songs
  // there too; an installed program's folder is not the user's to write in.
  return IsFolder(appDir + "Samples") ? appDir : MusicOrHome();
}

std::string StartingRenderFolder(const ProgramSettings& settings, const std::string& appDir) {
  std::string remembered = settings.renderFolder();
  return IsFolder(remembered) ? remembered : StartingSongFolder(settings, appDir);
}

std::optional<QPoint> VisiblePosition(std::optional<QPoint> position, QSize size) {
  if (!position) {
    return std::nullopt;
  }
  // The top strip, where the title bar is, must be reachable on some screen.
  const QRect titleStrip(*position, QSize(size.width(), 24));
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect part = screen->availableGeometry().intersected(titleStrip);
    if (part.width() >= 48 && part.height() >= 8) {
      return position;
    }
  }
  return std::nullopt;
}

QPoint KeptOnScreen(QPoint position, QSize size) {
  const QRect area = BestScreenArea(QRect(position, size));
  if (area.isEmpty()) {
    return position;
  }
  const int x = std::max(area.left(), std::min(position.x(), area.right() + 1 - size.width()));
  const int y = std::max(area.top(), std::min(position.y(), area.bottom() + 1 - size.height()));
  return {x, y};
}

} // namespace lw
