// A small dialog program for the tests of the dialog watcher on the real
// accessibility bus. It shows one dialog with an edit field and the buttons
// "&Yes", "&No" and "Cancel", titled by its first argument, and reports on
// standard output which button it got and what the field held:
//   ready
//   clicked No
//   edit abc=d
// It ends by itself after the number of milliseconds in its second argument
// (default 20000), reporting "timeout", so that a failing test never leaves
// it behind.

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  const QString title = args.size() > 1 ? args[1] : QStringLiteral("Dialog");
  const int lifetime_ms = args.size() > 2 ? args[2].toInt() : 20000;

  QDialog dialog;
  dialog.setWindowTitle(title);
  auto* layout = new QVBoxLayout(&dialog);
  auto* edit = new QLineEdit(&dialog);
  edit->setObjectName("edit");
  layout->addWidget(edit);
  auto* buttons = new QHBoxLayout;
  layout->addLayout(buttons);

  const auto report = [&](const char* what) {
    std::printf("clicked %s\nedit %s\n", what, edit->text().toUtf8().constData());
    std::fflush(stdout);
    app.exit(0);
  };
  for (const char* caption : {"&Yes", "&No", "Cancel"}) {
    auto* button = new QPushButton(QString::fromUtf8(caption), &dialog);
    button->setAutoDefault(false);
    buttons->addWidget(button);
    QString plain = QString::fromUtf8(caption).remove('&');
    QObject::connect(button, &QPushButton::clicked, &app,
                     [report, plain] { report(plain.toUtf8().constData()); });
  }
  QObject::connect(&dialog, &QDialog::rejected, &app, [&] { report("none"); });

  QTimer::singleShot(lifetime_ms, &app, [&] {
    std::printf("timeout\n");
    std::fflush(stdout);
    app.exit(2);
  });
  dialog.show();
  QTimer::singleShot(0, &app, [] {
    std::printf("ready\n");
    std::fflush(stdout);
  });
  return app.exec();
}
