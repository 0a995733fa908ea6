#pragma once
// The shared state of one open document of the object model. Every object
// handed out for the document points here, so a closed document refuses
// calls through each of them. Internal to the object model.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "automation/variant.h"
#include "docengine/document.h"

namespace quillon::docengine {

class MacroProject;

// The place of an item of a collection (a comment, a note, a table). When
// an item goes, the collection renumbers the places of the others, so an
// object handed out earlier keeps naming the same item.
struct ItemRef {
  enum class Kind { kComment, kFootnote, kEndnote, kTable };
  Kind kind = Kind::kComment;
  std::size_t index = 0;
  bool deleted = false;
};

struct DocumentState {
  Document doc;
  std::string path;
  bool read_only = true;
  bool closed = false;
  int save_format = -1;  // the format Save writes, -1 = the source's own
  int save_encoding = 0;
  // Set by every change to the model (a property put, removing the
  // protection, an edit). A source this engine cannot write back is left
  // alone by Save only while this is false.
  bool changed = false;
  // "Saved": no change since the document was opened or last saved.
  bool saved = true;
  bool track_revisions = false;
  // The macro project of the document, made when first asked for.
  std::shared_ptr<MacroProject> project;
  std::vector<std::weak_ptr<ItemRef>> items;

  void CheckOpen() const {
    if (closed)
      throw automation::AutomationError("The document has been closed.");
  }
  void MarkChanged() {
    changed = true;
    saved = false;
  }

  std::shared_ptr<ItemRef> Ref(ItemRef::Kind kind, std::size_t index) {
    auto ref = std::make_shared<ItemRef>();
    ref->kind = kind;
    ref->index = index;
    items.erase(std::remove_if(items.begin(), items.end(),
                               [](const std::weak_ptr<ItemRef>& w) { return w.expired(); }),
                items.end());
    items.push_back(ref);
    return ref;
  }
  // The item of that kind at index has gone.
  void Removed(ItemRef::Kind kind, std::size_t index) {
    for (const auto& weak : items) {
      auto ref = weak.lock();
      if (!ref || ref->kind != kind || ref->deleted)
        continue;
      if (ref->index == index)
        ref->deleted = true;
      else if (ref->index > index)
        --ref->index;
    }
  }
};

}  // namespace quillon::docengine
