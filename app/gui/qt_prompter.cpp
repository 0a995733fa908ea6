#include "app/gui/qt_prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "util/translate.h"

namespace quillon {
namespace {

constexpr const char* kDefaultCaption = "Quillon";

QMessageBox::Icon BoxIcon(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::kInformation:
      return QMessageBox::Information;
    case PromptIcon::kWarning:
      return QMessageBox::Warning;
    case PromptIcon::kError:
      return QMessageBox::Critical;
    case PromptIcon::kQuestion:
      return QMessageBox::Question;
    case PromptIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton BoxButton(PromptAnswer answer) {
  switch (answer) {
    case PromptAnswer::kOk:
      return QMessageBox::Ok;
    case PromptAnswer::kCancel:
      return QMessageBox::Cancel;
    case PromptAnswer::kYes:
      return QMessageBox::Yes;
    case PromptAnswer::kNo:
      return QMessageBox::No;
  }
  return QMessageBox::Ok;
}

QMessageBox::StandardButtons BoxButtons(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::kOk:
      return QMessageBox::Ok;
    case PromptButtons::kOkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case PromptButtons::kYesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case PromptButtons::kYesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

}  // namespace

PromptAnswer QtPrompter::Show(const std::string& text, const std::string& caption, PromptIcon icon,
                              PromptButtons buttons, PromptAnswer default_answer) {
  QMessageBox box(BoxIcon(icon),
                  QString::fromStdString(caption.empty() ? std::string(kDefaultCaption) : caption),
                  QString::fromStdString(text), BoxButtons(buttons), QApplication::activeWindow());
  box.setDefaultButton(BoxButton(default_answer));
  switch (box.exec()) {
    case QMessageBox::Ok:
      return PromptAnswer::kOk;
    case QMessageBox::Yes:
      return PromptAnswer::kYes;
    case QMessageBox::No:
      return PromptAnswer::kNo;
    case QMessageBox::Cancel:
      return PromptAnswer::kCancel;
    default:
      // Closed with Escape or the title bar: the safe answer of each set.
      return buttons == PromptButtons::kOk      ? PromptAnswer::kOk
             : buttons == PromptButtons::kYesNo ? PromptAnswer::kNo
                                                : PromptAnswer::kCancel;
  }
}

QStringList DialogNameFilters(const std::string& filter) {
  QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList masks = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (!masks.isEmpty()) {
      filters << QStringLiteral("%1 (%2)").arg(parts[i], masks.join(QLatin1Char(' ')));
    }
  }
  return filters;
}

std::vector<std::string> QtPrompter::ChooseFiles(const std::string& caption,
                                                 const std::string& filter, int filter_index) {
  QFileDialog dialog(QApplication::activeWindow(), QString::fromStdString(caption));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  QStringList filters = DialogNameFilters(filter);
  dialog.setNameFilters(filters);
  if (filter_index >= 0 && filter_index < filters.size()) {
    dialog.selectNameFilter(filters[filter_index]);
  }
  std::vector<std::string> files;
  if (dialog.exec() == QDialog::Accepted) {
    for (const QString& file : dialog.selectedFiles()) {
      files.push_back(file.toStdString());
    }
  }
  return files;
}

std::string QtPrompter::ChooseFolder(const std::string& start) {
  // Qt's own folder dialog carries a button for making a new folder.
  QString folder = QFileDialog::getExistingDirectory(
      QApplication::activeWindow(), QString::fromStdString(Tr("Select Folder")),
      QString::fromStdString(start), QFileDialog::ShowDirsOnly);
  return folder.toStdString();
}

}  // namespace quillon
