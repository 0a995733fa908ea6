#pragma once
// Driving the windows' modal dialogs from a test: a dialog shown with
// exec() runs its own event loop, so the test acts on it from a timer.

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <functional>
#include <string>
#include <vector>

namespace quillon::testing {

// Runs `act` once, on the first modal dialog of type Dialog as soon as it
// is shown, and cancels the dialog if `act` left it open (a failed check),
// so that the test goes on. Other modal windows are left alone. The wait
// ends with `owner`, so a dialog that never comes cannot be answered in a
// later test.
template <typename Dialog>
void WhenDialogShown(QObject* owner, std::function<void(Dialog*)> act) {
  auto* timer = new QTimer(owner);
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
    if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      act(dialog);
      if (dialog->isVisible()) {
        dialog->reject();
      }
    }
  });
  timer->start();
}

// Drops `paths` onto `target` as a file manager does (text/uri-list).
inline void DropPathsOnto(QWidget* target, const std::vector<std::string>& paths) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const std::string& path : paths) {
    urls << QUrl::fromLocalFile(QString::fromStdString(path));
  }
  mime.setUrls(urls);
  QPointF at(target->width() / 2.0, target->height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

}  // namespace quillon::testing
