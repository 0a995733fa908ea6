#pragma once
// Parses a macro module's text into its procedures.
//
// Throws SyntaxError (macro_lexer.h) naming the line and what was expected;
// nothing of the module runs before it has parsed whole. Nesting is
// bounded, so a hostile module cannot run the parser's stack out.

#include <string_view>

#include "docengine/macro_ast.h"
#include "docengine/macro_lexer.h"

namespace quillon::docengine::macro {

Module ParseModule(std::string_view source);

}  // namespace quillon::docengine::macro
