// paint_skin: paints every picture of the LoopWren skin.
//
//   paint_skin OUTPUT_FOLDER            writes NAME.png and NAME@2x.png for every picture,
//                                       and skin.qrc listing them under the prefix /skin
//   paint_skin --preview FILE [--scale N] [--busy]
//                                       writes the main window put together from them
//   paint_skin --icons FOLDER NAME      writes the program's icon as the hicolor icon
//                                       theme wants it: FOLDER/hicolor/SIZE/apps/NAME.*
//
// The output is the same bytes on every run: nothing depends on the time, and all
// noise comes from fixed seeds.
#include "paint_skin_catalog.h"
#include "paint_skin_icons.h"
#include "paint_skin_preview.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>
#include <QTextStream>
#include <cstdio>
#include <stdexcept>

namespace {

bool save(const QImage& image, const QString& path, bool opaque) {
  const QImage out = opaque ? image.convertToFormat(QImage::Format_RGB32)
                            : image.convertToFormat(QImage::Format_ARGB32);
  if (out.save(path, "PNG"))
    return true;
  std::fprintf(stderr, "paint_skin: cannot write %s\n", qPrintable(path));
  return false;
}

int writeSkin(const QString& folder) {
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "paint_skin: cannot create %s\n", qPrintable(folder));
    return 1;
  }
  QStringList files;
  for (const skin::Picture& picture : skin::catalog()) {
    for (int scale : {1, 2}) {
      const QString file = picture.name + (scale == 1 ? QString() : QStringLiteral("@2x")) + ".png";
      if (!save(skin::render(picture, scale), folder + '/' + file, picture.opaque))
        return 1;
      files << file;
    }
  }
  QFile qrc(folder + QStringLiteral("/skin.qrc"));
  if (!qrc.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    std::fprintf(stderr, "paint_skin: cannot write %s\n", qPrintable(qrc.fileName()));
    return 1;
  }
  QTextStream out(&qrc);
  out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/skin\">\n";
  for (const QString& file : files)
    out << "  <file>" << file << "</file>\n";
  out << "</qresource>\n</RCC>\n";
  return 0;
}

int usage() {
  std::fprintf(stderr, "usage: paint_skin OUTPUT_FOLDER\n"
                       "       paint_skin --preview FILE [--scale N] [--busy]\n"
                       "       paint_skin --icons FOLDER NAME\n");
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.size() == 1 && !args[0].startsWith('-'))
    return writeSkin(args[0]);
  if (args.size() == 3 && args[0] == QStringLiteral("--icons")) {
    try {
      return skin::writeIconTheme(args[1], args[2]) ? 0 : 1;
    } catch (const std::invalid_argument& e) {
      std::fprintf(stderr, "paint_skin: %s\n", e.what());
      return 1;
    }
  }
  if (args.size() >= 2 && args[0] == QStringLiteral("--preview")) {
    int scale = 1;
    bool busy = false;
    for (int i = 2; i < args.size(); ++i) {
      if (args[i] == QStringLiteral("--busy"))
        busy = true;
      else if (args[i] == QStringLiteral("--scale") && i + 1 < args.size())
        scale = args[++i].toInt();
      else
        return usage();
    }
    if (scale < 1 || scale > 8)
      return usage();
    return save(skin::composeWindow(scale, busy), args[1], true) ? 0 : 1;
  }
  return usage();
}
