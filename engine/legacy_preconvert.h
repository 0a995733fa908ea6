#pragma once
// Turning dBase tables and Lotus sheets into HTML with the separate
// converter program, so that a word processor of major version 12 or later
// (which no longer reads them) can open the result.
//
// Thread: main thread (it waits for the converter while letting pending
// events run).

#include <string>

namespace quillon::engine {

inline constexpr char kLegacyConverterName[] = "wordcnv.dll";

// True for the extensions (lower case, with the dot) that are pre-converted:
// ".dbf", ".wk1" to ".wk4", and ".123" (the later 1-2-3 workbooks, which
// the converter program reads as well).
bool IsLegacyExtension(const std::string& lower_extension);

// The folder the engine looks up its side files in (the converter program,
// "plugin.bas"), with a trailing "/": the program's side-file folder
// (ResourceFolder) unless SetEngineFileFolder chose another one (tests do).
std::string EngineFileFolder();
void SetEngineFileFolder(const std::string& folder);  // empty: back to the default

// The converter program: in the folder SetEngineFileFolder chose, else where
// the helper programs lie (HelperProgramPath: beside the program, or its
// installed place).
std::string LegacyConverterPath();

// The converter program's command line as shown in messages and judged
// output; the arguments are passed to the program unsplit, so a path holding
// a quote or a blank still reaches it whole.
std::string LegacyConverterCommandLine(const std::string& converter, const std::string& source,
                                       const std::string& html);

// Deletes `html`, runs the converter program (LegacyConverterPath) on
// `source`, and judges the outcome: output containing "error" fails with
// that output trimmed; an existing `html` is success (empty result); no
// output at all fails with "call word conversion dll error, can't create
// destination html file=%s"; any other output fails with that output.
std::string PreconvertLegacyFile(const std::string& source, const std::string& html);

}  // namespace quillon::engine
