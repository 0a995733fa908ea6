#pragma once
// The watch settings dialog: the folder to watch, its masks and exclude
// words, sub-folders, the destination format, where the converted files go
// and how they are named. "Add Watch" and "Edit Watch" show it; it stores
// nothing itself. One instance lives as long as the main window and keeps
// the values of its last use unless the caller fills it.
//
// OK is refused, with a message box each, while the source path or the
// destination is empty or a field holds a line break (the watch list file
// keeps one value a line); the dialog then stays open with what was typed.
//
// Thread: main thread only.

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

class QComboBox;

namespace Ui {
class TFormSetWatch;
}

namespace quillon {

class PatternBox;

class TFormSetWatch : public QDialog {
  Q_OBJECT

 public:
  explicit TFormSetWatch(QWidget* parent = nullptr);
  ~TFormSetWatch() override;

  // What the dialog says, read after it was confirmed.
  std::string SourcePath() const;
  std::string Masks() const;
  std::string ExcludeWords() const;
  std::string SubFolderText() const;  // "No" or "Yes", translated
  std::string FormatText() const;     // empty when no format is chosen
  // "Same File Path", or "[With Same File Tree]" and the folder, or the
  // folder alone; then "[Specified File]" and the pattern unless the pattern
  // is empty or "*" (leading blanks aside).
  std::string GetDestinationText() const;

  // Filling the dialog from an entry before "Edit Watch".
  void SetSourcePath(const std::string& path);
  void SetMasks(const std::string& masks);
  void SetExcludeWords(const std::string& words);
  // "No" selects "No", any other text "Yes".
  void SetSubFolderText(const std::string& text);
  // Selects the format whose text equals `text` ignoring letter case;
  // nothing is selected when none does.
  void SelectFormat(const std::string& text);
  void SetDestinationText(const std::string& text);

  // The main window's lists, refilled each time it is shown: the filter
  // choices with the first one chosen, the destination formats with the
  // main window's choice.
  void FillFilterChoices(const std::vector<std::string>& choices);
  void FillFormats(const std::vector<std::string>& formats, int selected);

  // The caption, given in English ("Add Watch" or "Edit Watch") and shown
  // in the interface language.
  void SetCaption(const std::string& english);

  // The texts in the current interface language.
  void TranslateTexts();

  Ui::TFormSetWatch& ui() { return *ui_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RadioButtonSourceFilePathClick();
  void RadioButtonAppointedFilePathClick();
  void EditDestPathChange();
  void CheckBoxSameTreeClick();
  void BitBtnSourcePathClick();
  void BitBtnDestPathClick();
  void BitBtn3Click();
  void EnableFolderChoice(bool enabled);
  void Browse(QComboBox* box);
  // The box's text joins the top of its list when it is not there yet.
  void RememberText(QComboBox* box);

  std::unique_ptr<Ui::TFormSetWatch> ui_;
  PatternBox* pattern_box_ = nullptr;
  std::string caption_ = "Add Watch";
};

}  // namespace quillon
