// quillon-engine: the built-in word processor as an automation server, or
// one conversion without a client:
//   quillon-engine --convert SOURCE DESTINATION FORMAT [CODEPAGE]
// FORMAT is a save format (2 to 8, 12, 16) or -3 (the source's own
// character set); CODEPAGE, when given, is the encoding to write.

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "automation/server.h"
#include "docengine/object_model.h"

namespace {

using quillon::automation::Args;
using quillon::automation::AutomationError;
using quillon::automation::NamedArg;
using quillon::automation::ObjectPtr;
using quillon::automation::Variant;

constexpr unsigned long long kDefaultAddressSpaceMiB = 4096;

// A runaway reader costs this process, never the machine: the address
// space is capped (QUILLON_ENGINE_MEMORY_MB, 0 = no cap).
void CapAddressSpace() {
  unsigned long long mib = kDefaultAddressSpaceMiB;
  if (const char* text = std::getenv("QUILLON_ENGINE_MEMORY_MB")) {
    char* end = nullptr;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (end != text && *end == '\0')
      mib = value;
  }
  if (mib == 0)
    return;
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0)
    return;
  rlim_t wanted = static_cast<rlim_t>(mib) * 1024 * 1024;
  if (limit.rlim_max != RLIM_INFINITY && wanted > limit.rlim_max)
    wanted = limit.rlim_max;
  limit.rlim_cur = wanted;
  setrlimit(RLIMIT_AS, &limit);
}

// What the server builds is bounded too: QUILLON_ENGINE_MAX_INPUT_MB caps
// the size of a file it opens (default: the readers' own limit).
quillon::docengine::EngineOptions EngineOptionsFromEnvironment() {
  quillon::docengine::EngineOptions options;
  if (const char* text = std::getenv("QUILLON_ENGINE_MAX_INPUT_MB")) {
    char* end = nullptr;
    unsigned long long mib = std::strtoull(text, &end, 10);
    if (end != text && *end == '\0' && mib > 0) {
      options.limits.max_input_bytes = static_cast<std::size_t>(mib) << 20;
    }
  }
  return options;
}

bool ParseInt(const char* text, int& value) {
  char* end = nullptr;
  long parsed = std::strtol(text, &end, 10);
  if (end == text || *end != '\0')
    return false;
  value = static_cast<int>(parsed);
  return true;
}

// The code page a source-character-set save uses, as the conversion
// engine decides it from the document.
int SourceCodePage(const ObjectPtr& doc) {
  int open_encoding = doc->Get("OpenEncoding").ToInt();
  int count = doc->Get("Characters").AsObject()->Get("Count").ToInt();
  if (count <= 0)
    return open_encoding;
  if (open_encoding == 1200 || open_encoding == 1201 || open_encoding == 65000 ||
      open_encoding == 65001) {
    return open_encoding;
  }
  Args first;
  first.positional.push_back(Variant(1));
  int lang = doc->Get("Characters")
                 .AsObject()
                 ->Call("Item", first)
                 .AsObject()
                 ->Get("LanguageIDFarEast")
                 .ToInt();
  if (lang == 0x0404 || lang == 0x0C04 || lang == 0x1004 || lang == 0x1404)
    return 950;
  if (lang == 0x0804)
    return 936;
  return open_encoding;
}

int Convert(int argc, char** argv) {
  if (argc < 5 || argc > 6) {
    std::fprintf(stderr, "Usage: quillon-engine --convert SOURCE DESTINATION FORMAT [CODEPAGE]\n");
    return 2;
  }
  int format = 0;
  int code_page = 0;
  if (!ParseInt(argv[4], format)) {
    std::fprintf(stderr, "The format \"%s\" is not a number.\n", argv[4]);
    return 2;
  }
  if (argc == 6 && !ParseInt(argv[5], code_page)) {
    std::fprintf(stderr, "The code page \"%s\" is not a number.\n", argv[5]);
    return 2;
  }
  try {
    ObjectPtr app = quillon::docengine::MakeApplication(EngineOptionsFromEnvironment());
    Args open;
    open.named.push_back(NamedArg{"FileName", Variant(std::string(argv[2]))});
    open.named.push_back(NamedArg{"ReadOnly", Variant(true)});
    ObjectPtr doc = app->Get("Documents").AsObject()->Call("Open", open).AsObject();
    Args save;
    save.named.push_back(NamedArg{"FileName", Variant(std::string(argv[3]))});
    if (format == -3) {
      code_page = code_page != 0 ? code_page : SourceCodePage(doc);
      format = 7;
    }
    save.named.push_back(NamedArg{"FileFormat", Variant(format)});
    if (code_page != 0)
      save.named.push_back(NamedArg{"Encoding", Variant(code_page)});
    doc->Call("SaveAs", save);
    Args close;
    close.named.push_back(NamedArg{"SaveChanges", Variant(0)});
    doc->Call("Close", close);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "There is not enough memory to open or save this document.\n");
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CapAddressSpace();
  if (argc >= 2 && std::strcmp(argv[1], "--convert") == 0)
    return Convert(argc, argv);
  if (quillon::automation::IsAutomationServerInvocation(argc, argv)) {
    return quillon::automation::AutomationServerMain(argc, argv, [](const std::string&) {
      return quillon::docengine::MakeApplication(EngineOptionsFromEnvironment());
    });
  }
  std::fprintf(stderr,
               "quillon-engine is started by Quillon as an automation server.\n"
               "Usage: quillon-engine --convert SOURCE DESTINATION FORMAT [CODEPAGE]\n");
  return 2;
}
