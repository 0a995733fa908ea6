// Renders every page and dialog of the main window into PNG files, for a
// person to look at: `quillon_screenshots OUTPUT_FOLDER`, run on a display
// (quillon.sh runs it under Xvfb). The window works on a private state
// folder with a few sample rows and log lines; nothing is converted.

#include <unistd.h>

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>

#include "app/gui/form_main.h"
#include "app/gui/form_select_folder.h"
#include "app/gui/form_set_dest_path.h"
#include "app/gui/form_set_watch.h"
#include "app/gui/qt_prompter.h"
#include "app/main_window_state.h"
#include "app/settings.h"
#include "jobs/destination_naming.h"
#include "platform/folders.h"
#include "ui_form_main.h"
#include "ui_form_select_folder.h"
#include "ui_form_set_dest_path.h"
#include "ui_form_set_watch.h"
#include "util/file_list.h"
#include "util/translate.h"

namespace {

using namespace quillon;

QString output_folder;
int written = 0;

void Save(QWidget* widget, const QString& name) {
  QCoreApplication::processEvents();
  QString path = QDir(output_folder).filePath(name + ".png");
  if (!widget->grab().save(path)) {
    std::fprintf(stderr, "can not write %s\n", path.toLocal8Bit().constData());
    return;
  }
  ++written;
  std::printf("%s\n", path.toLocal8Bit().constData());
}

void Settle() {
  for (int i = 0; i < 5; ++i) {
    QCoreApplication::processEvents();
    usleep(20000);
  }
}

void WriteSample(const std::string& path, const std::string& content) {
  QDir().mkpath(QFileInfo(QString::fromStdString(path)).absolutePath());
  std::ofstream(path, std::ios::binary) << content;
}

// Shows a message box as the prompter shows it and saves it.
void SaveMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                    const QString& text, QMessageBox::StandardButtons buttons,
                    const QString& name) {
  QMessageBox box(icon, caption, text, buttons, parent);
  box.show();
  Settle();
  Save(&box, name);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  QTemporaryDir home;
  QTemporaryDir samples;
  if (!home.isValid() || !samples.isValid()) {
    std::fprintf(stderr, "can not make a temporary folder\n");
    return 1;
  }
  setenv("QUILLON_HOME", home.path().toLocal8Bit().constData(), 1);
  QApplication app(argc, argv);
  InitMessageCatalog(ResourceFolder() + "locale");
  output_folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(output_folder);
  QtPrompter prompter;
  SetPrompter(&prompter);
  {
    MainWindowState state({});
    TFormMain form(state);
    form.FormCreate();
    form.show();

    std::string root = samples.path().toStdString() + "/";
    FileList& list = state.manual_list.list();
    for (const char* name : {"reports/annual report 2025.docx", "reports/minutes.doc",
                             "letters/letter to the board.rtf", "web/notes.html"}) {
      WriteSample(root + name, std::string(1234, 'x'));
      AddFileRow(list, true, root + name, false, "", "", SameFilePathMarker());
    }
    QDir().mkpath(QString::fromStdString(root + "archive"));
    AddFileRow(list, true, root + "archive", true, "temp;old", "*.doc\n*.docx",
               "/home/user/converted[Specified File]*_yyyymmdd");
    state.logs.AddLogLine("09:14:02        successfully convert " + root +
                          "reports/minutes.doc to " + root + "reports/minutes.txt");
    state.logs.AddLogLine("09:14:03   Error, Can not convert " + root +
                          "web/broken.docx! Error Reason is The file is damaged.");
    Settle();
    Save(&form, "01-main-manual-page");

    // The watch page with one running entry; the third row only shows how
    // a conversion reads in the status column.
    WatchListModel& watches = state.watch_list;
    watches.AddWatchRow(true, root + "reports", "/home/user/converted", "*.doc;*.docx", "draft",
                        "Yes", "2=Text only(*.txt)");
    watches.AddWatchRow(false, "/srv/incoming/letters", "Same File Path", "*.rtf", "", "No",
                        "7=Unicode Text(*.txt)");
    watches.AddWatchRow(true, root + "web", "[With Same File Tree]/home/user/web-text",
                        "*.htm;*.html", "", "Yes", "4=Ms-Dos Text(*.txt)");
    state.watch_processing->StartWatchEntry(0);
    watches.SetState(2, WatchState::kConverting, root + "web/notes.html");
    state.logs.SetVisibleView(LogView::kWatch);
    state.logs.AddLogLine("09:20:11        successfully convert " + root +
                          "reports/minutes.doc to /home/user/converted/minutes.txt");
    form.ui().PageControl1->setCurrentWidget(form.ui().TabSheetWatch);
    form.ui().ListViewWatcher->selectionModel()->setCurrentIndex(
        watches.index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    Settle();
    Save(&form, "02-main-folder-watcher-page");

    TFormSetWatch& watch_dialog = form.set_watch();
    QCursor::setPos(0, 0);
    watch_dialog.SetCaption("Add Watch");
    watch_dialog.show();
    Settle();
    Save(&watch_dialog, "02a-set-watch");
    watch_dialog.SetCaption("Edit Watch");
    watch_dialog.SetSourcePath(root + "reports");
    watch_dialog.SetMasks("*.doc;*.docx");
    watch_dialog.SetExcludeWords("draft;old");
    watch_dialog.SetSubFolderText("Yes");
    watch_dialog.SelectFormat("7=Unicode Text(*.txt)");
    watch_dialog.SetDestinationText(
        "[With Same File Tree]/home/user/converted[Specified File]mmddyy*");
    QEvent enter_watch(QEvent::Enter);
    QApplication::sendEvent(watch_dialog.ui().GroupBoxDestFile, &enter_watch);
    Settle();
    Save(&watch_dialog, "02b-set-watch-edit-help");
    watch_dialog.hide();
    watches.SetState(2, WatchState::kIdle);
    form.ui().PageControl1->setCurrentWidget(form.ui().TabSheetManual);

    int index = 3;
    for (QMenu* menu : {form.ui().File1, form.ui().Edit1, form.ui().Manual1, form.ui().Watch1,
                        form.ui().Option1, form.ui().Help1}) {
      QRect where = form.ui().MainMenu1->actionGeometry(menu->menuAction());
      menu->popup(form.ui().MainMenu1->mapToGlobal(where.bottomLeft()));
      Settle();
      QString name = menu->title().remove(QLatin1Char('&')).toLower();
      Save(menu, QStringLiteral("%1-menu-%2").arg(index++, 2, 10, QLatin1Char('0')).arg(name));
      menu->hide();
    }

    TFormSetDestPath& dialog = form.set_dest_path();
    QCursor::setPos(0, 0);  // the pointer off the file-name group
    dialog.show();
    Settle();
    Save(&dialog,
         QStringLiteral("%1-set-destination-file-path").arg(index++, 2, 10, QLatin1Char('0')));
    dialog.ui().RadioButtonAppointedFilePath->click();
    dialog.ui().EditDestPath->setText(QStringLiteral("/home/user/converted"));
    dialog.ui().ComboBoxSpecialDestFileName->setEditText(QStringLiteral("mmddyy*"));
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(dialog.ui().GroupBoxDestFile, &enter);
    Settle();
    Save(&dialog, QStringLiteral("%1-set-destination-file-path-help").arg(index++));
    dialog.hide();

    TFormSelectFolder& folders = form.select_folder();
    folders.show();
    Settle();
    Save(&folders, QStringLiteral("%1-add-sub-folders").arg(index++));
    folders.ui().ComboBoxSourcePath->setEditText(QString::fromStdString(root + "archive"));
    folders.ui().ComboBoxExcludeWords->setEditText(QStringLiteral("temp;old"));
    folders.ui().RadioButtonSubFolderYes->click();
    folders.ui().CheckBoxSameTree->click();
    folders.ui().ComboBoxDestPath->setEditText(QStringLiteral("/home/user/converted"));
    folders.ui().ComboBoxSpecialDestFileName->setEditText(QStringLiteral("*_yyyymmdd"));
    Settle();
    Save(&folders, QStringLiteral("%1-add-sub-folders-filled").arg(index++));
    folders.hide();

    SaveMessageBox(&form, QMessageBox::Question, QString::fromStdString(Tr("Confirm")),
                   QString::fromStdString(Tr("Do you want to stop this conversion?")),
                   QMessageBox::Yes | QMessageBox::No,
                   QStringLiteral("%1-stop-question").arg(index++));
    SaveMessageBox(&form, QMessageBox::NoIcon, QStringLiteral("Quillon"),
                   QString::fromStdString(Tr("OK, Convert Complete!")), QMessageBox::Ok,
                   QStringLiteral("%1-convert-complete").arg(index++));
    SaveMessageBox(&form, QMessageBox::NoIcon, QStringLiteral("Quillon"),
                   QString::fromStdString(TrFormat("Can not Convert, error reason is \"%s\"",
                                                   {"Error, Can not convert " + root +
                                                    "web/broken.docx! Error Reason is The file is "
                                                    "damaged."})),
                   QMessageBox::Ok, QStringLiteral("%1-convert-errors").arg(index++));

    // The window and the destination dialog in the other languages, to see
    // that the longer texts fit.
    for (const char* code : {"de", "fr"}) {
      state.settings->ApplyLanguage(code);
      Settle();
      Save(&form, QStringLiteral("%1-main-manual-page-%2").arg(index++).arg(code));
      dialog.show();
      Settle();
      Save(&dialog, QStringLiteral("%1-set-destination-file-path-%2").arg(index++).arg(code));
      dialog.hide();
    }
    state.settings->ApplyLanguage("en");

    form.close();
    form.FormDestroy();
  }
  SetPrompter(nullptr);
  std::printf("%d screenshots\n", written);
  return written > 0 ? 0 : 1;
}
