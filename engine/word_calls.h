#pragma once
// Every call the engine makes into the word processor's object model: names,
// argument order and argument kinds as the object model expects them.
// Booleans travel as Variant bool, numbers as 32-bit integers, texts passed
// "by reference" as plain text values.
//
// Errors: the functions documented as "errors ignored" never throw; the others
// let AutomationError through, whose message becomes the engine's error text.
// Thread: main thread only (the calls wait for the word processor while
// letting pending events run).

#include <cstdint>
#include <functional>
#include <string>

#include "automation/variant.h"

namespace quillon::engine {

using automation::Object;
using automation::ObjectPtr;

// --- Application ---------------------------------------------------------

// The "Version" text.
std::string WordVersion(Object& application);

// The first run of decimal digits in a version text, as an integer; -1 when
// the text holds no digit ("9.0" gives 9, "16.0.1" gives 16).
int WordMajorVersion(const std::string& version_text);

// "DisplayAlerts" put; errors ignored.
void SetWordAlerts(Object& application, bool on);

// "Visible" put; errors ignored.
void SetWordVisible(Object& application, bool visible);

// "Quit"; lets errors through (ReleaseWord ignores them).
void QuitWord(Object& application);

// --- Opening ---------------------------------------------------------------

// What the dialog watcher looks for while a document opens: a window of a
// process whose program name contains window_program and whose title or class
// contains window_title (letter case ignored), answered with macro. The
// program is the word processor's own: the built-in engine server.
struct DialogWatchRequest {
  std::string owner_title;
  std::string window_title = "WordPerfect";
  std::string owner_program;
  std::string window_program = "quillon-engine";
  std::string macro = "button#1";
  std::uint32_t time_limit_ms = 60000;
};

// The watcher's start and stop, installed by the dialog watcher module; until
// then (or when reset with empty functions) opening runs unwatched.
using DialogWatchStart = std::function<void(const DialogWatchRequest&)>;
using DialogWatchStop = std::function<void()>;
void SetDialogWatchHooks(DialogWatchStart start, DialogWatchStop stop);
// True while a start hook is installed: documents open under a watch.
bool DialogWatchInstalled();

// Alerts off (errors ignored), start the dialog watcher, "Documents" then
// "Open" with named FileName, ReadOnly, PasswordDocument and, only when
// recover_any_type, Format 20; the watcher is stopped whether the open worked
// or not. Returns the document object.
ObjectPtr OpenDocument(Object& application, const std::string& path, bool read_only,
                       const std::string& password, bool recover_any_type);

// "Documents" then "Open" with FileName, ReadOnly and PasswordDocument only:
// no Format, no watcher, alerts untouched.
ObjectPtr OpenDocumentPlain(Object& application, const std::string& path, bool read_only,
                            const std::string& password);

// --- Document ----------------------------------------------------------------

// "UnProtect" with the password as its one positional argument.
void UnprotectDocument(Object& document, const std::string& password);

// When the "title" built-in property is empty, sets it to the file name
// (without folder) of source_path. Errors ignored. With keep_saved_state a
// document that was saved is marked saved again afterwards (the title is no
// change of the user's); that costs a wait for "Saved" and matters only when
// the document may be saved later.
void SetTitleIfEmpty(Object& document, const std::string& source_path, bool keep_saved_state);

// The code page to save with under the source-character-set format: the open
// encoding for empty documents and Unicode/UTF-7/UTF-8 files, else 950 or 936
// by the first character's Far East language, else the open encoding. Starts
// at 0; an error while it is being found leaves the value reached so far.
int SourceCodePage(Object& document);

// Saves as destination with save format 7 in SourceCodePage(document): with
// "Encoding" when major_version is 10 or more, through "SaveEncoding" before
// the save otherwise.
void SaveWithSourceCharacterSet(Object& document, const std::string& destination,
                                int major_version);

// "SaveAs" with named FileName and FileFormat.
void SaveDocumentAs(Object& document, const std::string& path, std::int32_t file_format);

// "SaveAs" with named FileName, FileFormat and Encoding.
void SaveDocumentAsEncoded(Object& document, const std::string& path, std::int32_t file_format,
                           std::int32_t encoding);

// Saving as text: "SaveAs" with the destination format code as FileFormat.
void SaveAsText(Object& document, const std::string& destination, std::int32_t format_code);

// "Save": writes the document back in place.
void SaveDocument(Object& document);

// "Close" with named SaveChanges 0.
void CloseDocument(Object& document);

// The RTF re-open: save as rtf_path (format 6), close without saving,
// EnsureWord, then open rtf_path again (OpenDocumentPlain) into document.
// Returns false with EnsureWord's error text when the word processor cannot be
// reached; automation errors of the save, close and open go through.
bool ReopenThroughRtf(ObjectPtr& document, const std::string& rtf_path, bool read_only,
                      const std::string& password, std::string& error_text);

// --- Plug-in macros ---------------------------------------------------------

// Application "Run" with the macro name.
void RunWordMacro(Object& application, const std::string& macro_name);

// Document "VBProject", "VBComponents", "Import" with the file path; returns
// the imported component.
ObjectPtr ImportMacroModule(Object& document, const std::string& module_path);

// Application "VBE", "ActiveVBProject", "VBComponents", "remove" with the
// component.
void RemoveMacroModule(Object& application, const ObjectPtr& component);

}  // namespace quillon::engine
