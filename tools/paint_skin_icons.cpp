#include "paint_skin_icons.h"

#include "paint_skin_art.h"
#include "paint_skin_catalog.h"
#include "paint_skin_svg.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace skin {

QImage renderIcon(int pixels) {
  const Picture& icon = picture(QStringLiteral("icon"));
  return renderAtDensity(icon, static_cast<double>(pixels) / icon.size.width());
}

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
      file.write(bytes) == bytes.size() && file.flush())
    return true;
  std::fprintf(stderr, "paint_skin: cannot write %s\n", qPrintable(path));
  return false;
}

} // namespace

bool writeIconTheme(const QString& folder, const QString& name) {
  const QString apps = QStringLiteral("%1/hicolor/%2/apps/%3");
  for (int pixels : kIconSizes) {
    const QString path =
        apps.arg(folder, QStringLiteral("%1x%1").arg(pixels), name + QStringLiteral(".png"));
    QByteArray png;
    {
      QBuffer buffer(&png);
      buffer.open(QIODevice::WriteOnly);
      renderIcon(pixels).convertToFormat(QImage::Format_ARGB32).save(&buffer, "PNG");
    }
    if (png.isEmpty() || !writeFile(path, png))
      return false;
  }
  const Picture& icon = picture(QStringLiteral("icon"));
  return writeFile(apps.arg(folder, QStringLiteral("scalable"), name + QStringLiteral(".svg")),
                   svgDocument(iconMarks(), icon.size, QStringLiteral("LoopWren")));
}

} // namespace skin
