#include "app/gui/pattern_box.h"

#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <algorithm>

#include "jobs/file_name_pattern.h"

namespace quillon {

PatternBox::PatternBox(QWidget* dialog, QWidget* group, QComboBox* box, QLabel* preview,
                       QPlainTextEdit* help)
    : QObject(dialog), dialog_(dialog), group_(group), box_(box), preview_(preview), help_(help) {
  help_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  help_->hide();
  box_->setEditText(QStringLiteral("*"));
  connect(box_, &QComboBox::editTextChanged, this, [this] { UpdatePreview(); });
  group_->setMouseTracking(true);
  dialog_->setMouseTracking(true);
  group_->installEventFilter(this);
  dialog_->installEventFilter(this);
  FillTexts();
}

void PatternBox::FillTexts() {
  QString text = box_->currentText();
  QSignalBlocker block(box_);
  box_->clear();
  for (const std::string& pattern : OfferedFileNamePatterns()) {
    box_->addItem(QString::fromStdString(pattern));
  }
  box_->setEditText(text.isEmpty() && box_->count() > 0 ? box_->itemText(0) : text);
  help_->setPlainText(QString::fromStdString(FileNamePatternHelpText()));
  UpdatePreview();
}

std::string PatternBox::Pattern() const {
  return box_->currentText().toStdString();
}

void PatternBox::UpdatePreview() {
  preview_->setText(QString::fromStdString(FileNamePatternPreview(Pattern())));
}

void PatternBox::ShowHelp() {
  // Just above the pattern box, as wide as the window leaves room for.
  constexpr int kMargin = 8;
  QPoint box_top_left = box_->mapTo(dialog_, QPoint(0, 0));
  int height = std::min(help_->sizeHint().height(), box_top_left.y() - kMargin);
  int width = dialog_->width() - box_top_left.x() - kMargin;
  help_->setGeometry(box_top_left.x(), box_top_left.y() - height, width, height);
  help_->raise();
  help_->show();
}

void PatternBox::HideHelp() {
  help_->hide();
}

bool PatternBox::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
    if (watched == group_) {
      ShowHelp();
    } else if (watched == dialog_) {
      HideHelp();
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace quillon
