#pragma once
// The object model the engine serves to automation clients: an application
// with its documents collection, documents, their properties and
// characters. Every object is an automation::Object; names compare without
// regard to letter case; an unknown name raises AutomationError naming it.
//
// Application  "Version" (get: "16.0"), "Name", "DisplayAlerts" and
//              "Visible" (get / put), "Documents" (get; with an index, that
//              document), "ActiveDocument" (the one opened last), "Quit"
//              (method: closes every document without saving), "Run"
//              (a macro of the active document's macro project), "VBE" ->
//              "ActiveVBProject" (macro_project.h).
// Documents    "Open" (FileName, ReadOnly, PasswordDocument, Format; also
//              positionally in the usual order FileName, ConfirmConversions,
//              ReadOnly, AddToRecentFiles, PasswordDocument, ...,
//              Format as the tenth), "Count", "Item" (1-based).
//              Format 20 recovers text from any file.
// Document     "Name", "FullName", "Path", "UnProtect" (password; removes
//              the protection), "ProtectionType" (-1 when none),
//              "BuiltInDocumentProperties" (name or number) -> property with
//              "Value" / "Name", "Characters" -> "Count" and "Item" (n) ->
//              "LanguageIDFarEast" / "LanguageID" / "Text", "OpenEncoding", "SaveEncoding" (get /
//              put), "SaveAs" (FileName, FileFormat, Encoding; positional FileName, FileFormat,
//              Encoding as the twelfth; formats 2-7 text and RTF, 8 HTML, 12 and 16 DOCX), "Save"
//              (a DOCX or HTML source is never written over: Save succeeds while the document is
//              unchanged and is refused once it has changed), "Close" (SaveChanges: 0 = no, -1 =
//              save), "VBProject", and the content members of document_objects.h.
//
// Objects are used from one thread at a time (the server serves calls one
// by one). A closed document raises an error on every further call.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "automation/variant.h"
#include "docengine/reader.h"

namespace quillon::docengine {

struct EngineOptions {
  // Limits for every document this application opens.
  ReadLimits limits;
  // How long one macro run ("Run") may take before it is stopped; the
  // caller's own call deadline is usually shorter.
  std::chrono::milliseconds macro_time_limit{std::chrono::minutes(10)};
  // Called with the path each time "Open" reads a file through its reader.
  // An RTF file this application has just saved from a document that was
  // then closed unchanged is not read again while it is what was written
  // (same path, device, inode, size, modification and change times, and
  // bytes): "Open" takes that document as the file reads back.
  std::function<void(const std::string& path)> on_file_read;
};

// The application object (the root the server hands to clients).
std::shared_ptr<automation::Object> MakeApplication(EngineOptions options = {});

// The version text the application reports: the object-model level the
// engine answers.
inline constexpr const char* kEngineVersion = "16.0";

// The count of characters of the main story as "Characters.Count" gives it:
// every character of the runs (hidden ones too) and one per paragraph
// mark and cell or row end; 0 for a document without any text.
int CountStoryCharacters(const Document& doc);

}  // namespace quillon::docengine
