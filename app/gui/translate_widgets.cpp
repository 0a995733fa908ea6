#include "app/gui/translate_widgets.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QVariant>
#include <QWidget>

#include "util/translate.h"

namespace quillon {
namespace {

constexpr const char* kUntranslated = "quillonUntranslated";

QString Translated(const QString& english) {
  return english.isEmpty() ? english : QString::fromStdString(Tr(english.toStdString()));
}

// The English text kept under `key`, taken from `current` the first time.
QString English(QObject* object, const char* key, const QString& current) {
  QVariant kept = object->property(key);
  if (!kept.isValid()) {
    object->setProperty(key, current);
    return current;
  }
  return kept.toString();
}

void TranslateToolTip(QWidget* widget) {
  widget->setToolTip(Translated(English(widget, "quillonEnglishToolTip", widget->toolTip())));
}

}  // namespace

void MarkUntranslated(QObject* object) {
  object->setProperty(kUntranslated, true);
}

void TranslateWidgetTexts(QWidget* window) {
  window->setWindowTitle(Translated(English(window, "quillonEnglishTitle", window->windowTitle())));
  QList<QWidget*> widgets = window->findChildren<QWidget*>();
  widgets.prepend(window);
  for (QWidget* widget : widgets) {
    if (widget->property(kUntranslated).toBool()) {
      continue;
    }
    TranslateToolTip(widget);
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      button->setText(Translated(English(button, "quillonEnglishText", button->text())));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      label->setText(Translated(English(label, "quillonEnglishText", label->text())));
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      group->setTitle(Translated(English(group, "quillonEnglishText", group->title())));
    } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
      menu->setTitle(Translated(English(menu, "quillonEnglishText", menu->title())));
    } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
      for (int i = 0; i < tabs->count(); ++i) {
        QWidget* page = tabs->widget(i);
        tabs->setTabText(i, Translated(English(page, "quillonEnglishTab", tabs->tabText(i))));
      }
    }
  }
  for (QAction* action : window->findChildren<QAction*>()) {
    if (action->isSeparator() || action->menu() != nullptr ||
        action->property(kUntranslated).toBool()) {
      continue;
    }
    action->setText(Translated(English(action, "quillonEnglishText", action->text())));
  }
}

}  // namespace quillon
