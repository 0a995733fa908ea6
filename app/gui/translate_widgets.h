#pragma once
// Translates a window's texts by walking its widgets and actions: captions,
// titles, tab texts and hints. The English text of each is kept on the
// object the first time it is seen, so a later walk under another language
// translates from English again.
//
// Widgets whose text the program sets while it runs (status panels, preview
// labels, log views) are marked with MarkUntranslated and left alone.
//
// Thread: main thread only.

class QObject;
class QWidget;

namespace quillon {

void TranslateWidgetTexts(QWidget* window);
void MarkUntranslated(QObject* object);

}  // namespace quillon
