// The main window's notification-area icon: shown where the desktop has a
// notification area, with its hint, its animation while a watched file
// converts and its menu; minimising hides the window into it and the icon
// brings it back. Without a notification area the window is never hidden.

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/gui/form_main.h"
#include "app/gui/translate_widgets.h"
#include "ui_form_main.h"
#include "util/translate.h"

namespace quillon {
namespace {

constexpr int kAnimationStepMs = 150;
constexpr int kAnimationFrames = 8;

// A page with an arc that turns a step further in each frame.
QIcon AnimationFrame(const QIcon& base, int frame) {
  QPixmap pixmap = base.pixmap(32, 32);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(30, 110, 200), 4));
  painter.drawArc(QRect(6, 6, 20, 20), -frame * (360 / kAnimationFrames) * 16, 100 * 16);
  return QIcon(pixmap);
}

}  // namespace

bool TFormMain::TrayAvailable() const {
  return tray_ != nullptr && tray_->isVisible();
}

void TFormMain::CreateTrayIcon() {
  if (!state_.tray_icon_active) {
    return;
  }
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    if (state_.settings && state_.settings->minimized_tray()) {
      state_.logs.AddLogLine(
          Tr("The desktop has no notification area: the window is shown instead of a tray icon"));
    }
    return;
  }
  still_icon_ = windowIcon();
  for (int i = 0; i < kAnimationFrames; ++i) {
    animation_.push_back(AnimationFrame(still_icon_, i));
  }
  tray_ = new QSystemTrayIcon(still_icon_, this);
  tray_->setObjectName("TrayIcon1");
  tray_->setToolTip(
      QString::fromStdString(state_.tray_hint.empty() ? QUILLON_VERSION_TEXT : state_.tray_hint));
  animation_timer_ = new QTimer(this);
  animation_timer_->setInterval(kAnimationStepMs);
  connect(animation_timer_, &QTimer::timeout, this, [this] {
    animation_frame_ = (animation_frame_ + 1) % kAnimationFrames;
    tray_->setIcon(animation_[static_cast<size_t>(animation_frame_)]);
  });

  // The tray menu: its copies of the options are hidden but keep the
  // check marks of the main entries.
  tray_menu_ = new QMenu(this);
  tray_menu_->setObjectName("PopupMenuTray");
  auto add = [this](const char* name, const char* english, auto handler) {
    QAction* action = tray_menu_->addAction(QString::fromUtf8(english));
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, handler);
    return action;
  };
  // A copy of a main entry: its caption and check mark follow the main one
  // (which is translated with the window).
  auto copy_of = [this](const char* name, QAction* main, bool visible) {
    QAction* action = tray_menu_->addAction(main->text());
    action->setObjectName(name);
    action->setCheckable(main->isCheckable());
    action->setChecked(main->isChecked());
    action->setVisible(visible);
    MarkUntranslated(action);
    connect(action, &QAction::triggered, main, [main] { main->trigger(); });
    connect(main, &QAction::changed, action, [main, action] {
      action->setChecked(main->isChecked());
      action->setText(main->text());
    });
  };
  add("Restore1", TrNoop("Restore"), [this] { Restore1Click(); });
  add("Minimize1", TrNoop("Minimize"), [this] { Minimize1Click(); });
  tray_menu_->addSeparator();
  copy_of("AutoRunAtStartup2", ui_->AutoRunAtStartup1, false);
  copy_of("AutoStart2", ui_->AutoStart1, false);
  copy_of("DeleteSourceFileAfterConversion2", ui_->DeleteSourceFileAfterConversion1, false);
  tray_menu_->addSeparator()->setVisible(false);
  copy_of("AddWatch2", ui_->AddWatch1, true);
  copy_of("StartWatch2", ui_->StartWatch1, false);
  copy_of("StopWatch2", ui_->StopWatch1, false);
  tray_menu_->addSeparator();
  add("Exit2", TrNoop("Exit"), [this] { Exit2Click(); });
  tray_->setContextMenu(tray_menu_);
  connect(tray_, &QSystemTrayIcon::activated, this,
          [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason != QSystemTrayIcon::Context) {
              Restore1Click();
            }
          });
  TranslateWidgetTexts(tray_menu_);
  tray_->show();
}

void TFormMain::Restore1Click() {
  showNormal();
  raise();
  activateWindow();
}

void TFormMain::Minimize1Click() {
  showMinimized();
}

void TFormMain::Exit2Click() {
  close();
}

void TFormMain::TrayHintChanged(const std::string& hint) {
  if (tray_ == nullptr) {
    return;
  }
  tray_->setToolTip(QString::fromStdString(hint));
  // The hint starts with the watch row's status text.
  if (hint.rfind(Tr("watching"), 0) == 0) {
    animation_timer_->stop();
    tray_->setIcon(still_icon_);
  }
  if (hint.find(Tr("converting")) != std::string::npos && !animation_timer_->isActive()) {
    animation_timer_->start();
  }
}

void TFormMain::TrayImageChanged(int /*index*/) {
  if (tray_ != nullptr) {
    animation_timer_->stop();
    tray_->setIcon(still_icon_);
  }
}

bool TFormMain::TrayAnimating() const {
  return animation_timer_ != nullptr && animation_timer_->isActive();
}

QString TFormMain::TrayHint() const {
  return tray_ != nullptr ? tray_->toolTip() : QString();
}

void TFormMain::InstallMinimiseHandling() {
  minimise_to_tray_ = true;
}

void TFormMain::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && minimise_to_tray_ && isMinimized() &&
      TrayAvailable()) {
    // Later, once the window system has seen the window minimised.
    QTimer::singleShot(0, this, [this] {
      if (isMinimized()) {
        hide();
      }
    });
  }
}

}  // namespace quillon
