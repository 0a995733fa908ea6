#include "app/command_line_console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <charconv>
#include <cstdlib>

#include "util/text.h"
#include "util/translate.h"

namespace quillon {
namespace {

std::string OneDecimal(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), value < 0 ? 0.0 : value,
                              std::chars_format::fixed, 1);
  return std::string(buffer, result.ptr);
}

// The text as one line of a terminal: line breaks, other control
// characters and bytes that are not UTF-8 become "?".
std::string Printable(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    size_t length = Utf8SequenceLength(text, i);
    auto c = static_cast<unsigned char>(text[i]);
    if (length == 0 || (length == 1 && (c < 0x20 || c == 0x7F))) {
      out += '?';
      ++i;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out;
}

// An error line keeps its text whole; only its line breaks become blanks,
// so that each error is one line.
std::string OneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c == '\n' || c == '\r') {
      c = ' ';
    }
  }
  return out;
}

// The byte offset after the first `count` characters of `text`.
size_t OffsetOfCharacter(const std::string& text, size_t count) {
  size_t at = 0;
  for (size_t n = 0; n < count && at < text.size(); ++n) {
    size_t length = Utf8SequenceLength(text, at);
    at += length == 0 ? 1 : length;
  }
  return at;
}

}  // namespace

size_t CharacterCount(const std::string& text) {
  size_t count = 0;
  for (size_t at = 0; at < text.size(); ++count) {
    size_t length = Utf8SequenceLength(text, at);
    at += length == 0 ? 1 : length;
  }
  return count;
}

std::string ProgressText(int done, double files_per_second, const std::string& current,
                         int columns) {
  std::string head = TrFormat("%d files done, %s files/s: ",
                              {static_cast<std::int64_t>(done), OneDecimal(files_per_second)});
  std::string name = Printable(current);
  size_t room = columns > 1 ? static_cast<size_t>(columns - 1) : 0;
  size_t head_count = CharacterCount(head);
  size_t name_count = CharacterCount(name);
  if (head_count + name_count <= room) {
    return head + name;
  }
  const std::string ellipsis = "...";
  if (head_count + ellipsis.size() >= room) {
    return head.substr(0, OffsetOfCharacter(head, room));
  }
  size_t keep = room - head_count - ellipsis.size();
  return head + ellipsis + name.substr(OffsetOfCharacter(name, name_count - keep));
}

std::string SummaryText(int converted, int failed, double seconds) {
  return TrFormat("%d files converted, %d files failed, %s seconds",
                  {static_cast<std::int64_t>(converted), static_cast<std::int64_t>(failed),
                   OneDecimal(seconds)});
}

CommandLineConsole::CommandLineConsole(std::FILE* stream)
    : stream_(stream),
      progress_(::isatty(::fileno(stream)) == 1),
      started_(std::chrono::steady_clock::now()) {}

double CommandLineConsole::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

int CommandLineConsole::Columns() const {
  struct winsize size {};
  if (::ioctl(::fileno(stream_), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    return size.ws_col;
  }
  const char* columns = std::getenv("COLUMNS");
  int value = columns != nullptr ? std::atoi(columns) : 0;
  return value > 0 ? value : 80;
}

void CommandLineConsole::Draw() {
  if (!progress_ || current_.empty()) {
    return;
  }
  int done = converted_ + failed_;
  double seconds = Seconds();
  std::string text = ProgressText(done, seconds > 0 ? done / seconds : 0.0, current_, Columns());
  size_t width = CharacterCount(text);
  // Blanks over what is left of a longer line drawn before.
  std::string line = "\r" + text;
  if (width < drawn_width_) {
    line += std::string(drawn_width_ - width, ' ');
    line += "\r" + text;
  }
  std::fputs(line.c_str(), stream_);
  std::fflush(stream_);
  drawn_width_ = width;
}

void CommandLineConsole::Wipe() {
  if (!progress_ || drawn_width_ == 0) {
    return;
  }
  std::string blank = "\r" + std::string(drawn_width_, ' ') + "\r";
  std::fputs(blank.c_str(), stream_);
  drawn_width_ = 0;
}

void CommandLineConsole::WriteLine(const std::string& text) {
  Wipe();
  std::fputs((text + "\n").c_str(), stream_);
  std::fflush(stream_);
}

void CommandLineConsole::FileStarting(const std::string& source) {
  current_ = source;
  Draw();
}

void CommandLineConsole::FileFinished(const FileOutcome& outcome) {
  (outcome.ok ? converted_ : failed_) += 1;
  outcomes_.push_back(outcome);
  Draw();
}

void CommandLineConsole::ErrorReported(const std::string& message) {
  WriteLine(OneLine(message));
  Draw();
}

void CommandLineConsole::Finish() {
  WriteLine(SummaryText(converted_, failed_, Seconds()));
}

PromptAnswer CommandLineConsole::ConsolePrompter::Show(const std::string& text,
                                                       const std::string& caption,
                                                       PromptIcon /*icon*/,
                                                       PromptButtons /*buttons*/,
                                                       PromptAnswer default_answer) {
  console_.WriteLine(OneLine(caption.empty() ? text : caption + ": " + text));
  console_.Draw();
  return default_answer;
}

}  // namespace quillon
