#pragma once
// The reader of WordPerfect documents (versions 1 to 12), password
// protected ones included when the right password is given.

#include <memory>

#include "docengine/reader.h"

namespace quillon::docengine {

std::unique_ptr<Reader> MakeWordPerfectReader();

}  // namespace quillon::docengine
