#include "docengine/model_building.h"

namespace quillon::docengine {

bool SameFormat(const Run& a, const Run& b) {
  return a.hidden == b.hidden && a.deleted == b.deleted && a.inserted == b.inserted &&
         a.field_code == b.field_code && a.field == b.field && a.note == b.note &&
         a.lang == b.lang && a.lang_fe == b.lang_fe;
}

void AppendRunText(std::vector<Run>& runs, const Run& format, std::string_view text) {
  if (!runs.empty() && SameFormat(runs.back(), format)) {
    runs.back().text += text;
    return;
  }
  Run run = format;
  run.text = text;
  runs.push_back(std::move(run));
}

}  // namespace quillon::docengine
