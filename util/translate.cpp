#include "util/translate.h"

#include <libintl.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <mutex>

extern "C" int _nl_msg_cat_cntr;

namespace quillon {
namespace {

constexpr const char* kDomain = "default";

std::mutex& LanguageMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string& CurrentLanguage() {
  static std::string code;
  return code;
}

}  // namespace

void InitMessageCatalog(const std::string& locale_dir) {
  std::setlocale(LC_ALL, "");
  // gettext ignores LANGUAGE under the C locale, which would make the
  // language choice a no-op on a bare machine.
  const char* messages = std::setlocale(LC_MESSAGES, nullptr);
  if (messages == nullptr || std::strcmp(messages, "C") == 0 ||
      std::strcmp(messages, "POSIX") == 0) {
    std::setlocale(LC_MESSAGES, "C.UTF-8");
  }
  bindtextdomain(kDomain, locale_dir.c_str());
  bind_textdomain_codeset(kDomain, "UTF-8");
  textdomain(kDomain);
}

void SetInterfaceLanguage(const std::string& code) {
  std::lock_guard<std::mutex> lock(LanguageMutex());
  CurrentLanguage() = code;
  if (code.empty()) {
    unsetenv("LANGUAGE");
  } else {
    setenv("LANGUAGE", code.c_str(), 1);
  }
  // Tells gettext that its cached translations are stale.
  ++_nl_msg_cat_cntr;
}

std::string InterfaceLanguage() {
  std::lock_guard<std::mutex> lock(LanguageMutex());
  return CurrentLanguage();
}

std::string Tr(std::string_view english) {
  if (english.empty()) {
    return {};  // gettext("") returns the catalog header
  }
  std::string key(english);
  return dgettext(kDomain, key.c_str());
}

std::string FormatText(std::string_view format, const std::vector<FormatArg>& args) {
  std::string out;
  out.reserve(format.size() + 16);
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%' || i + 1 >= format.size()) {
      out += c;
      continue;
    }
    char kind = format[i + 1];
    if (kind == '%') {
      out += '%';
      ++i;
      continue;
    }
    if ((kind == 's' || kind == 'd') && next < args.size()) {
      const FormatArg& arg = args[next++];
      if (const auto* text = std::get_if<std::string>(&arg)) {
        out += *text;
      } else {
        out += std::to_string(std::get<std::int64_t>(arg));
      }
      ++i;
      continue;
    }
    out += c;
  }
  return out;
}

}  // namespace quillon
