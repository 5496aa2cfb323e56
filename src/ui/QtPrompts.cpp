#include "ui/QtPrompts.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace lw {

namespace {

QString Text(std::string_view text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

// The nearest folder that exists, going up from `path`; home when none does. Given a
// path that is not a folder, the dialog would put its last part into the file-name box.
QString ExistingFolder(const std::string& path) {
  QString folder = QDir::cleanPath(QDir(QString::fromLocal8Bit(path.c_str())).absolutePath());
  while (!QFileInfo(folder).isDir()) {
    const QString parent = QFileInfo(folder).path();
    if (parent == folder) {
      return QDir::homePath();
    }
    folder = parent;
  }
  return folder;
}

std::optional<std::string> Ask(QWidget* parent, const FileDialogSpec& spec,
                               QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent, QString::fromStdString(spec.title));
  dialog.setDirectory(ExistingFolder(spec.initialFolder));
  dialog.selectFile(QString()); // each showing starts with an empty name
  dialog.setAcceptMode(mode);
  dialog.setFileMode(QFileDialog::AnyFile);
  // Neither dialog asks before replacing a file, and the open dialog takes any name: the
  // command reports a file that cannot be opened itself.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setNameFilters(NameFilters(spec.filter));
  if (spec.preview) {
    // The toolkit's own dialog: a desktop's dialog may not tell what is selected in it.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QObject::connect(&dialog, &QFileDialog::currentChanged, &dialog, [&spec](const QString& path) {
      if (QFileInfo(path).isFile()) {
        spec.preview(path.toLocal8Bit().toStdString());
      }
    });
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return dialog.selectedFiles().front().toLocal8Bit().toStdString();
}

} // namespace

QStringList NameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString pattern = parts[i + 1];
    pattern.replace(QStringLiteral("*.*"), QStringLiteral("*"));
    QString caption = parts[i];
    const qsizetype open = caption.indexOf('(');
    if (open >= 0) {
      caption = caption.left(open).trimmed();
    }
    filters << caption + QStringLiteral(" (") + pattern.replace(';', ' ') + QStringLiteral(")");
  }
  return filters;
}

void QtPrompts::Notice(std::string_view text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), Text(text), QMessageBox::Ok,
                  parent_);
  box.exec();
}

void QtPrompts::Warning(std::string_view text) {
  QMessageBox::warning(parent_, QApplication::applicationName(), Text(text));
}

bool QtPrompts::Confirm(std::string_view text) {
  return QMessageBox::question(parent_, QApplication::applicationName(), Text(text),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtPrompts::ReportIoError(std::string_view text) {
  QMessageBox::critical(parent_, QApplication::applicationName(), Text(text));
}

std::optional<std::string> QtPrompts::AskOpenFile(const FileDialogSpec& dialog) {
  return Ask(parent_, dialog, QFileDialog::AcceptOpen);
}

std::optional<std::string> QtPrompts::AskSaveFile(const FileDialogSpec& dialog) {
  return Ask(parent_, dialog, QFileDialog::AcceptSave);
}

void QtPrompts::SetBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

} // namespace lw
