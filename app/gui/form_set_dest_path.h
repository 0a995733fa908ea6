#pragma once
// The "Set Destination File Path" dialog: where the files of "Add Files"
// and of a drop go and how they are named. Created once per process; its
// choices stay as the user left them until the process ends.
//
// Thread: main thread only.

#include <QDialog>
#include <memory>
#include <string>

namespace Ui {
class TFormSetDestPath;
}

namespace quillon {

class PatternBox;

class TFormSetDestPath : public QDialog {
  Q_OBJECT

 public:
  explicit TFormSetDestPath(QWidget* parent = nullptr);
  ~TFormSetDestPath() override;

  // "Same File Path" or the folder field's text, then "[Specified File]" and
  // the pattern unless the pattern is empty or "*" (leading blanks aside).
  std::string DestinationText() const;

  // The texts in the current interface language.
  void TranslateTexts();

  Ui::TFormSetDestPath& ui() { return *ui_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void RadioButtonSourceFilePathClick();
  void RadioButtonAppointedFilePathClick();
  void EditDestPathChange();
  void BitBtnDestPathClick();
  void BitBtn3Click();
  void EnableFolderChoice(bool enabled);

  std::unique_ptr<Ui::TFormSetDestPath> ui_;
  PatternBox* pattern_box_ = nullptr;
};

}  // namespace quillon
