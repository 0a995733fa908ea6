// The legacy converter program, started by the conversion engine as
//   wordcnv.dll "SOURCE" "DESTINATION.htm" "LOTUS32.CNV" "html32.cnv"

#include <sys/resource.h>

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "wordcnv/legacy_converter.h"

namespace {

// A damaged file that trips the sheet library must still end with a
// message the engine can show, not with silence. The message is made
// before the conversion starts: a signal handler may only write it.
char crash_message[4096] = "wordcnv.dll error: the file is damaged: reading it failed\n";

void ReportCrash(int signal_number) {
  ssize_t ignored = ::write(STDERR_FILENO, crash_message, std::strlen(crash_message));
  (void)ignored;
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

// Reading a hostile file must not take the machine's memory with it.
void LimitAddressSpace() {
  unsigned long megabytes = 2048;
  if (const char* text = std::getenv("QUILLON_WORDCNV_MEMORY_MB")) {
    megabytes = std::strtoul(text, nullptr, 10);
  }
  if (megabytes > 0) {
    rlimit limit{};
    limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(megabytes) << 20;
    ::setrlimit(RLIMIT_AS, &limit);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    std::snprintf(crash_message, sizeof crash_message,
                  "wordcnv.dll error: %.3900s is damaged: reading it failed\n", argv[1]);
  }
  for (int signal_number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
    std::signal(signal_number, ReportCrash);
  }
  LimitAddressSpace();
  return quillon::wordcnv::ConverterMain(argc, argv);
}
