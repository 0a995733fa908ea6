#include "app/gui/main_window_run.h"

#include <QApplication>

#include "app/gui/form_main.h"
#include "app/gui/qt_prompter.h"
#include "app/main_window_state.h"
#include "dialogwatch/engine_dialog_watch.h"
#include "platform/folders.h"
#include "util/translate.h"

namespace quillon {

int RunMainWindow(int& argc, char** argv, const std::vector<std::string>& args) {
  QApplication app(argc, argv);
  // After the application object: its constructor resets the locale, which
  // would undo what the catalog set-up did to the message locale.
  InitMessageCatalog(ResourceFolder() + "locale");
  QtPrompter prompter;
  SetPrompter(&prompter);
  int exit_code = 0;
  {
    // Answers the word processor's dialogs while documents open, as in the
    // other starts; outlives the shut-down, which may still talk to the
    // word processor.
    dialogwatch::EngineDialogWatch dialog_watch;
    MainWindowState state(args);
    TFormMain form(state);
    form.FormCreate();
    if (form.ShowAtStart()) {
      form.show();
    }
    app.exec();
    exit_code = form.FormDestroy();
  }
  SetPrompter(nullptr);
  return exit_code;
}

}  // namespace quillon
