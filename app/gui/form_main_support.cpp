// The main window's support commands: the error report by e-mail from
// both pages.

#include <QToolButton>
#include <cerrno>
#include <cstdlib>
#include <optional>

#include "app/gui/form_main.h"
#include "engine/word_calls.h"
#include "engine/word_connection.h"
#include "support/error_report.h"
#include "ui_form_main.h"

namespace quillon {
namespace {

// The word processor's version when one is held and answers with a whole
// number; nothing otherwise.
std::optional<long> HeldWordVersion() {
  automation::ObjectPtr application = engine::WordApplication();
  if (!application) {
    return std::nullopt;
  }
  try {
    std::string text = engine::WordVersion(*application);
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || errno != 0 || end == nullptr || *end != '\0') {
      return std::nullopt;
    }
    return value;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

void TFormMain::ConnectSupportCommands() {
  for (QToolButton* button : {ui_->ToolButtonSendErrorEmail, ui_->ToolButton2}) {
    connect(button, &QToolButton::clicked, this, [this] { ToolButtonSendErrorEmailClick(); });
  }
}

void TFormMain::ToolButtonSendErrorEmailClick() {
  SendErrorReport(windowTitle().toStdString(), HeldWordVersion(), state_.logs.batch_errors(),
                  state_.run_mode == RunMode::kCommandLine);
}

}  // namespace quillon
