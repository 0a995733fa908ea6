#pragma once
// The file-name pattern box that the destination dialogs share: its
// choices, the preview label beside it and the help text that stands just
// above it while the mouse is over its group.
//
// Thread: main thread only.

#include <QObject>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QWidget;

namespace quillon {

class PatternBox : public QObject {
  Q_OBJECT

 public:
  // `dialog` is the window holding the group `group`, which holds `box` and
  // `preview`; `help` is a hidden child of `dialog`, outside every layout.
  // None is owned.
  PatternBox(QWidget* dialog, QWidget* group, QComboBox* box, QLabel* preview,
             QPlainTextEdit* help);

  // The choices and the help text in the current language; the box keeps
  // the text it holds.
  void FillTexts();
  // The pattern as typed.
  std::string Pattern() const;

  // Shows the help with its left edge at the box's left edge and its bottom
  // edge at the box's top edge.
  void ShowHelp();
  void HideHelp();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdatePreview();

  QWidget* dialog_;
  QWidget* group_;
  QComboBox* box_;
  QLabel* preview_;
  QPlainTextEdit* help_;
};

}  // namespace quillon
