#pragma once
// Steps every reader takes while it builds the document model.

#include <string_view>
#include <vector>

#include "docengine/document.h"

namespace quillon::docengine {

// True when the two runs differ in nothing but their text.
bool SameFormat(const Run& a, const Run& b);

// Appends `text` in the format of `format` (whose own text is not used):
// the last run grows when it has that format, else a new run starts, so a
// paragraph holds no two neighbouring runs of one format.
void AppendRunText(std::vector<Run>& runs, const Run& format, std::string_view text);

}  // namespace quillon::docengine
