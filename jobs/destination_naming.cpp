#include "jobs/destination_naming.h"

#include <filesystem>
#include <system_error>

#include "jobs/file_name_pattern.h"
#include "platform/prompter.h"
#include "util/translate.h"

namespace quillon {
namespace {

std::string_view TrimLeadingBlanks(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && static_cast<unsigned char>(text[start]) <= ' ') {
    ++start;
  }
  return text.substr(start);
}

// Removes the first occurrence of `marker`; the marker is written at the
// start of the text, but wherever it is, only the marker itself goes.
std::string WithoutMarker(std::string_view text, std::string_view marker) {
  std::string out(text);
  size_t at = out.find(marker);
  if (at != std::string::npos && !marker.empty()) {
    out.erase(at, marker.size());
  }
  return out;
}

bool ContainsMarker(std::string_view text, std::string_view marker) {
  return !marker.empty() && text.find(marker) != std::string_view::npos;
}

std::string WithTrailingSlash(std::string path) {
  if (path.empty() || path.back() != '/') {
    path += '/';
  }
  return path;
}

// The current folder; empty when it cannot be read (removed meanwhile).
std::string CurrentFolder() {
  std::error_code error;
  std::filesystem::path current = std::filesystem::current_path(error);
  return error ? std::string() : current.string();
}

// A folder text as an absolute path: as it stands when it begins with "/",
// else below the current folder. Empty when the current folder is unknown.
std::string Absolute(std::string_view folder) {
  if (!folder.empty() && folder.front() == '/') {
    return std::string(folder);
  }
  std::string current = CurrentFolder();
  if (current.empty()) {
    return {};
  }
  return WithTrailingSlash(current) + std::string(folder);
}

void CreateFolders(std::string_view folder) {
  if (folder.empty()) {
    return;
  }
  std::error_code ignored;  // a folder that cannot be made fails the conversion later
  std::filesystem::create_directories(std::filesystem::path(std::string(folder)), ignored);
}

// Start of the extension in the name part of `path`, or npos.
size_t ExtensionStart(std::string_view path) {
  size_t name_start = path.rfind('/');
  name_start = name_start == std::string_view::npos ? 0 : name_start + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot <= name_start) {
    return std::string_view::npos;
  }
  // ".profile" and "..": dots leading the name are part of it.
  for (size_t k = name_start; k < dot; ++k) {
    if (path[k] != '.') {
      return dot;
    }
  }
  return std::string_view::npos;
}

std::string ReplaceAll(std::string_view text, char from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == from) {
      out.append(to);
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string SameFilePathMarker() {
  return Tr("Same File Path");
}
std::string SameFileTreeMarker() {
  return Tr("[With Same File Tree]");
}
std::string SpecifiedFileMarker() {
  return Tr("[Specified File]");
}

std::string ReplaceExtension(std::string_view path, std::string_view extension) {
  size_t dot = ExtensionStart(path);
  std::string out(dot == std::string_view::npos ? path : path.substr(0, dot));
  out.append(extension);
  return out;
}

std::string NameWithoutExtension(std::string_view path) {
  size_t dot = ExtensionStart(path);
  return NamePart(dot == std::string_view::npos ? path : path.substr(0, dot));
}

std::string ComposeDestinationText(const DestinationChoice& choice) {
  std::string text;
  switch (choice.kind) {
    case DestinationChoice::Folder::kSameFilePath:
      text = SameFilePathMarker();
      break;
    case DestinationChoice::Folder::kFolder:
      text = choice.folder;
      break;
    case DestinationChoice::Folder::kSameFileTree:
      text = SameFileTreeMarker() + choice.folder;
      break;
  }
  std::string_view pattern = TrimLeadingBlanks(choice.pattern);
  if (!pattern.empty() && pattern != "*") {
    text += SpecifiedFileMarker();
    text.append(pattern);
  }
  return text;
}

std::string ComposeDestinationText(bool same_file_path, std::string_view folder,
                                   std::string_view pattern) {
  DestinationChoice choice;
  choice.kind = same_file_path ? DestinationChoice::Folder::kSameFilePath
                               : DestinationChoice::Folder::kFolder;
  choice.folder = std::string(folder);
  choice.pattern = std::string(pattern);
  return ComposeDestinationText(choice);
}

DestinationTextParts SplitDestinationText(std::string_view text) {
  const std::string marker = SpecifiedFileMarker();
  size_t at = marker.empty() ? std::string_view::npos : text.find(marker);
  if (at == std::string_view::npos) {
    return {std::string(text), {}};
  }
  return {std::string(text.substr(0, at)), std::string(text.substr(at + marker.size()))};
}

DestinationChoice ParseDestinationText(std::string_view text) {
  DestinationTextParts parts = SplitDestinationText(text);
  DestinationChoice choice;
  choice.pattern = parts.pattern;
  const std::string tree_marker = SameFileTreeMarker();
  if (parts.folder_choice == SameFilePathMarker()) {
    choice.kind = DestinationChoice::Folder::kSameFilePath;
  } else if (ContainsMarker(parts.folder_choice, tree_marker)) {
    choice.kind = DestinationChoice::Folder::kSameFileTree;
    choice.folder = WithoutMarker(parts.folder_choice, tree_marker);
  } else {
    choice.kind = DestinationChoice::Folder::kFolder;
    choice.folder = parts.folder_choice;
  }
  return choice;
}

std::string BuildDestinationPath(const std::string& source, const std::string& destination_text,
                                 const std::string& tree_root, const std::string& extension) {
  DestinationTextParts parts = SplitDestinationText(destination_text);
  const std::string tree_marker = SameFileTreeMarker();
  // The sub-folder tree below the tree root is kept whether or not the
  // same-tree marker is there; the marker only records the dialog's choice.
  std::string folder_choice = ContainsMarker(parts.folder_choice, tree_marker)
                                  ? WithoutMarker(parts.folder_choice, tree_marker)
                                  : parts.folder_choice;

  std::string result;
  if (folder_choice == SameFilePathMarker()) {
    result = ReplaceExtension(source, extension);
  } else {
    if (folder_choice.empty()) {
      return {};
    }
    std::string destination_folder = Absolute(folder_choice);
    if (destination_folder.empty()) {
      return {};
    }
    destination_folder = WithTrailingSlash(destination_folder);

    if (!tree_root.empty()) {
      // Both sides absolute, so that a relative row folder still matches the
      // files found below it. Only a leading tree root counts: a source that
      // merely holds the root's text further in is not below it.
      const std::string absolute_root = Absolute(tree_root);
      const std::string root = WithTrailingSlash(absolute_root);
      const std::string source_folder = FolderPart(Absolute(source));
      if (absolute_root.empty() || source_folder.compare(0, root.size(), root) != 0) {
        CurrentPrompter().Message(Tr("Error, can not get same file tree!"));
        return {};
      }
      destination_folder += source_folder.substr(root.size());
    }
    result = destination_folder + ReplaceExtension(NamePart(source), extension);
    CreateFolders(destination_folder);
  }

  if (!parts.pattern.empty()) {
    // "\" becomes a folder before the source name goes in, so that a
    // backslash in a Linux file name stays part of the name.
    std::string formatted =
        ReplaceAll(FormatFileNamePattern(parts.pattern, CurrentClock().Now()), '\\', "/");
    formatted = ReplaceAll(formatted, '*', NameWithoutExtension(source));
    result = FolderPart(result) + formatted + extension;
    CreateFolders(FolderPart(result));
  }
  return result;
}

}  // namespace quillon
