#pragma once
// Message-catalog lookup for every user-visible text and marker word.
//
// The English text is the catalog key. While no catalog matches the current
// language, Tr() returns the English text unchanged. Catalogs are GNU gettext
// ".mo" files at <locale_dir>/<code>/LC_MESSAGES/default.mo.
//
// Thread: InitMessageCatalog and SetInterfaceLanguage on the main thread only;
// Tr may be called from any thread (gettext lookups are thread-safe).

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillon {

// Sets up the process locale and binds the "default" text domain to
// locale_dir. Safe to call more than once (the last folder wins).
void InitMessageCatalog(const std::string& locale_dir);

// Switches the interface language to a catalog code ("de", "fr_FR", ...);
// an empty code goes back to the language the environment chose.
void SetInterfaceLanguage(const std::string& code);

// The current interface language code as last set (empty: environment).
std::string InterfaceLanguage();

// Translates one English text through the current catalog.
std::string Tr(std::string_view english);

// Marks a text kept in a table for the catalogs; it is passed through Tr
// where it is shown.
constexpr const char* TrNoop(const char* english) {
  return english;
}

// One argument of FormatText: text for "%s", integer for "%d".
using FormatArg = std::variant<std::string, std::int64_t>;

// Replaces "%s" and "%d" placeholders in order with the given arguments
// ("%%" gives "%"). Missing arguments leave the placeholder as it stands;
// surplus arguments are ignored. Never reads past its arguments.
std::string FormatText(std::string_view format, const std::vector<FormatArg>& args);

// Tr() of the format, then FormatText.
inline std::string TrFormat(std::string_view english, const std::vector<FormatArg>& args) {
  return FormatText(Tr(english), args);
}

}  // namespace quillon
