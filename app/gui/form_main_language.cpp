// The main window's side of the interface language: the radio entries of
// "Change GUI Language" and the new translation of its texts after a switch.

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include "app/gui/form_main.h"
#include "app/gui/translate_widgets.h"
#include "app/settings.h"
#include "ui_form_main.h"
#include "util/translate.h"

namespace quillon {

void TFormMain::ShowLanguageMenu() {
  QMenu* menu = ui_->ChangeGUILanguage1;
  // The entries are owned by the menu, so clear() deletes them (and takes
  // them out of their group).
  menu->clear();
  auto* group = menu->findChild<QActionGroup*>("LanguageGroup");
  if (group == nullptr) {
    group = new QActionGroup(menu);
    group->setObjectName("LanguageGroup");
    group->setExclusive(true);
  }
  const std::vector<LanguageEntry>& entries = state_.language_menu.entries();
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string code = entries[i].code;
    QAction* entry = menu->addAction(QString::fromStdString(entries[i].caption));
    entry->setObjectName(i == 0 ? QString("English1")
                                : QString("Language_") + QString::fromStdString(code));
    entry->setCheckable(true);
    entry->setChecked(static_cast<int>(i) == state_.language_menu.checked());
    entry->setToolTip(QString::fromStdString(code));
    entry->setStatusTip(QString::fromStdString(code));
    // The captions are already in the interface language.
    MarkUntranslated(entry);
    group->addAction(entry);
    connect(entry, &QAction::triggered, this, [this, code] { English1Click(code); });
  }
  menu->menuAction()->setVisible(state_.language_menu.visible());
}

void TFormMain::English1Click(const std::string& code) {
  if (state_.settings) {
    state_.settings->ApplyLanguage(code);
  } else {
    SwitchInterfaceLanguage(state_, code);
  }
}

void TFormMain::RetranslateTexts() {
  TranslateTexts();
  ShowCaption();
  ShowLanguageMenu();
  // The list entries set by the program come from English tables.
  FillTextDelimitedList(ui_->ComboBoxTextDelimited->currentIndex());
  ShowCountLine();
  // The watch list's captions and status words are looked up when shown.
  WatchListModel& watches = state_.watch_list;
  int columns = watches.columnCount();
  emit watches.headerDataChanged(Qt::Horizontal, 0, columns - 1);
  if (watches.rowCount() > 0) {
    emit watches.dataChanged(watches.index(0, 0),
                             watches.index(watches.rowCount() - 1, columns - 1));
  }
}

}  // namespace quillon
