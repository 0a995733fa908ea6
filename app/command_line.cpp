#include "app/command_line.h"

#include <sys/stat.h>

#include "jobs/destination_naming.h"
#include "platform/profile.h"
#include "util/text.h"
#include "util/translate.h"

namespace quillon {
namespace {

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// "/x" is a mistyped option, not the mask "x" in the root folder, and "-x"
// or "--verbose" is one too, not the "*.doc" files of the current folder
// (a name part without "." means "*.doc"): taken as a source, either would
// convert (and maybe delete) files the user never named. Only an existing
// path of that form is a source.
bool IsUnknownOption(const std::string& arg) {
  if (arg.size() < 2) {
    return false;
  }
  bool slash_option = arg.front() == '/' && arg.find('/', 1) == std::string::npos;
  if (!slash_option && arg.front() != '-') {
    return false;
  }
  struct stat info {};
  return ::lstat(arg.c_str(), &info) != 0;
}

}  // namespace

bool ParseOptionInteger(const std::string& text, int& value) {
  // Blanks around the number are a typing slip on a command line only when
  // quoted, and a quoted " 3" is still meant as 3.
  std::optional<int> number = ParseProfileInteger(text);
  if (!number) {
    return false;
  }
  value = *number;
  return true;
}

void SplitSourceArgument(const std::string& argument, const std::string& current_folder,
                         std::string& folder, std::string& mask) {
  std::string folder_part = FolderPart(argument);
  std::string name_part = NamePart(argument);
  if (folder_part.empty() || folder_part.front() != '/') {
    std::string base = current_folder;
    if (base.empty() || base.back() != '/') {
      base += '/';
    }
    folder_part = base + folder_part;
  }
  folder = folder_part;
  mask = name_part.find('.') == std::string::npos ? "*.doc" : name_part;
}

std::string CommandLineRequest::DestinationText() const {
  if (file_name_pattern.empty()) {
    return destination_folder;
  }
  return destination_folder + SpecifiedFileMarker() + file_name_pattern;
}

CommandLineRequest ParseCommandLine(const std::vector<std::string>& args,
                                    const DestinationFormatTable& formats,
                                    const CommandLineRequest& start,
                                    const std::string& current_folder) {
  CommandLineRequest request = start;
  request.destination_folder = SameFilePathMarker();
  request.file_name_pattern.clear();
  request.exclude_words.clear();
  request.exclude_file.clear();
  request.exclude_file_given = false;
  request.sub_folders = false;
  request.show_help = false;
  request.report_path.clear();
  request.errors.clear();
  // No source argument: the empty path, which the list refuses as missing.
  request.source_folder.clear();
  request.mask.clear();

  auto integer_option = [&request](const std::string& option, const std::string& value,
                                   int& target) {
    if (ParseOptionInteger(value, target)) {
      return true;
    }
    request.errors.push_back(TrFormat("Error, %s must be followed by an integer!", {option}));
    return false;
  };

  for (const std::string& arg : args) {
    std::string lower = LowerAscii(arg);
    auto value_after = [&arg](size_t prefix_length) { return arg.substr(prefix_length); };
    if (StartsWith(lower, "/f:")) {
      std::string code = value_after(3);
      int index = code.empty() ? 0 : formats.IndexOfCode(code);
      if (index < 0 || index >= formats.Size()) {
        request.errors.push_back(TrFormat("Error, File Format %s do not exist!", {code}));
        request.errors.push_back(Tr("Error, Can not get Destination File Format!"));
        return request;
      }
      request.format_index = index;
    } else if (StartsWith(lower, "/t:")) {
      int index = 0;
      if (!ParseOptionInteger(value_after(3), index)) {
        request.errors.push_back(Tr("Error, Source Text File Delimited Format must be integer!"));
        return request;
      }
      int count = static_cast<int>(engine::TextDelimitedItems().size());
      request.options.text_delimited_index = index >= 0 && index < count ? index : -1;
    } else if (StartsWith(lower, "/ef:")) {
      request.exclude_file = value_after(4);
      request.exclude_file_given = true;
    } else if (StartsWith(lower, "/e:")) {
      request.exclude_words = value_after(3);
    } else if (StartsWith(lower, "/d:")) {
      request.destination_folder = value_after(3);
    } else if (StartsWith(lower, "/dfn:")) {
      request.file_name_pattern = value_after(5);
    } else if (lower == "/s") {
      request.sub_folders = true;
    } else if (lower == "/h") {
      // The window never shows in a command-line run.
    } else if (lower == "/plugin") {
      request.options.run_plugin_macro = true;
    } else if (lower == "/pluginsave") {
      // The request block's "runpluginsave" alone runs the macros as well.
      request.options.plugin_save = true;
    } else if (StartsWith(lower, "/p:")) {
      request.options.open_password = value_after(3);
    } else if (StartsWith(lower, "/sr:")) {
      if (!integer_option("/sr:", value_after(4), request.options.appointed_sheet)) {
        return request;
      }
      request.options.sheet_range_appointed = true;
    } else if (StartsWith(lower, "/prf:")) {
      if (!integer_option("/prf:", value_after(5), request.options.page_from)) {
        return request;
      }
      request.options.page_range_from_to = true;
    } else if (StartsWith(lower, "/prt:")) {
      if (!integer_option("/prt:", value_after(5), request.options.page_to)) {
        return request;
      }
      request.options.page_range_from_to = true;
    } else if (lower == "/?") {
      request.show_help = true;
    } else if (StartsWith(lower, "--report=")) {
      request.report_path = value_after(9);
      if (request.report_path.empty()) {
        request.errors.push_back(
            TrFormat("Error, %s must be followed by a file name!", {std::string("--report=")}));
        return request;
      }
    } else if (arg == "/min" || arg == "-Embedding") {
      // Start modes, counted out of the conversion parameters as well.
    } else if (IsUnknownOption(arg)) {
      // Every mistyped option is reported; none of them converts anything.
      request.errors.push_back(TrFormat("Error, unknown option %s", {arg}));
    } else {
      SplitSourceArgument(arg, current_folder, request.source_folder, request.mask);
    }
  }
  return request;
}

}  // namespace quillon
