// One command-line batch over 2,000 damaged copies of the corpus documents
// (bytes flipped, blocks zeroed or repeated, files cut short) with the
// undamaged documents among them: the program must not crash, must name
// every failure in its error log, must count the failures in its exit code,
// and must still convert every undamaged document that converts on its own.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "tests/app/cli_harness.h"

namespace quillon::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kMutants = 2000;
// Larger documents add time, not kinds of damage.
constexpr std::uintmax_t kLargestSeed = 256 * 1024;

std::string Mutated(std::string bytes, std::mt19937& random) {
  if (bytes.empty()) {
    return bytes;
  }
  auto at = [&](std::size_t size) {
    return std::uniform_int_distribution<std::size_t>(0, size - 1)(random);
  };
  switch (random() % 4) {
    case 0:  // a few bytes flipped
      for (int i = 0, n = 1 + static_cast<int>(random() % 16); i < n; ++i) {
        bytes[at(bytes.size())] ^= static_cast<char>(1 + random() % 255);
      }
      break;
    case 1:  // cut short
      bytes.resize(at(bytes.size()));
      break;
    case 2: {  // a block zeroed or filled with 0xFF
      const std::size_t from = at(bytes.size());
      const std::size_t length = std::min<std::size_t>(bytes.size() - from, 1 + random() % 4096);
      std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(from), length,
                  random() % 2 ? '\0' : '\xFF');
      break;
    }
    default: {  // a slice repeated in place
      const std::size_t from = at(bytes.size());
      const std::size_t length = std::min<std::size_t>(bytes.size() - from, 1 + random() % 2048);
      const std::string slice = bytes.substr(from, length);
      for (int i = 0, n = 1 + static_cast<int>(random() % 8); i < n; ++i) {
        bytes.insert(from, slice);
      }
      break;
    }
  }
  return bytes;
}

// The sources named in the error log's conversion errors, and the lines
// that name none.
struct LoggedFailures {
  std::set<std::string> sources;
  std::vector<std::string> unnamed;
  int engine_ended = 0;  // the word processor died on the file
  int timed_out = 0;     // or stopped answering
};

LoggedFailures ReadFailures(const std::vector<std::string>& lines) {
  const std::string head = "Error, Can not convert ";
  LoggedFailures failures;
  for (const std::string& line : lines) {
    const std::size_t end = line.find("! Error Reason is ");
    if (line.rfind(head, 0) != 0 || end == std::string::npos) {
      failures.unnamed.push_back(line);
      continue;
    }
    failures.sources.insert(line.substr(head.size(), end - head.size()));
    failures.engine_ended += line.find("automation server ended") != std::string::npos;
    failures.timed_out += line.find("did not answer") != std::string::npos;
  }
  return failures;
}

class CliMutatedCorpusTest : public CliRunTest {
 protected:
  // Every corpus document of the types the batch converts, small enough.
  std::vector<fs::path> Seeds() const {
    std::vector<fs::path> seeds;
    for (const auto& entry : fs::recursive_directory_iterator(CorpusDir())) {
      std::string extension = entry.path().extension().string();
      std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
      if (entry.is_regular_file() && entry.file_size() <= kLargestSeed &&
          (extension == ".doc" || extension == ".docx" || extension == ".rtf" ||
           extension == ".htm" || extension == ".html" || extension == ".wpd")) {
        seeds.push_back(entry.path());
      }
    }
    std::sort(seeds.begin(), seeds.end());
    return seeds;
  }

  static std::string Extension(const fs::path& path) { return path.extension().string(); }
};

TEST_F(CliMutatedCorpusTest, TwoThousandDamagedDocumentsInOneBatch) {
  const std::vector<fs::path> seeds = Seeds();
  ASSERT_GE(seeds.size(), 20u);
  h_.SetEnv("QUILLON_ANSI_CODEPAGE", "65001");
  // A damaged file that hangs the word processor costs this long, no more.
  WriteFile(h_.Home("set.ini"), "[Tarvell\\Quillon]\nEngine Time Limit=30\n");
  const std::string masks = "*.doc;*.docx;*.rtf;*.htm;*.html;*.wpd";

  // The undamaged documents alone first: which of them convert.
  const std::string good = h_.Work("good/");
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    fs::create_directories(good);
    fs::copy_file(seeds[i], good + "g" + std::to_string(i) + Extension(seeds[i]));
  }
  CliResult alone = h_.Run({"/d:" + h_.Work("good-out"), good + masks});
  ASSERT_GE(alone.exit_code, 0) << "the program did not end normally: " << alone.err;
  const std::set<std::string> failing_alone =
      ReadFailures(CliHarness::Lines(h_.Home("error.log"))).sources;

  // Then the same documents among 2,000 damaged copies, in one folder.
  const std::string batch = h_.Work("batch/");
  fs::create_directories(batch);
  std::map<std::string, std::string> good_in_batch;  // name in the batch -> name alone
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    const std::string name = "g" + std::to_string(i) + Extension(seeds[i]);
    fs::copy_file(good + name, batch + name);
    good_in_batch[batch + name] = good + name;
  }
  std::mt19937 random(20261208);
  std::vector<std::string> mutants;
  for (int i = 0; i < kMutants; ++i) {
    const fs::path& seed = seeds[static_cast<std::size_t>(i) % seeds.size()];
    char name[32];
    std::snprintf(name, sizeof name, "m%04d", i);
    mutants.push_back(batch + name + Extension(seed));
    WriteFile(mutants.back(), Mutated(ReadFile(seed.string()), random));
  }
  fs::remove(h_.Home("error.log"));
  const std::string out = h_.Work("out/");
  CliResult run = h_.Run({"/d:" + out, batch + masks});

  ASSERT_GE(run.exit_code, 0) << "the program did not end normally: " << run.err;
  const LoggedFailures failures = ReadFailures(CliHarness::Lines(h_.Home("error.log")));
  EXPECT_TRUE(failures.unnamed.empty()) << failures.unnamed.front();
  EXPECT_EQ(run.exit_code, std::min<int>(255, static_cast<int>(failures.sources.size())));

  // Every file either failed by name or has its text; none is counted twice.
  std::vector<std::string> all = mutants;
  for (const auto& [in_batch, alone_name] : good_in_batch) {
    all.push_back(in_batch);
  }
  int converted = 0;
  for (const std::string& source : all) {
    const std::string stem = fs::path(source).stem().string();
    const bool has_text = FileExists(out + stem + ".txt");
    const bool failed = failures.sources.count(source) != 0;
    EXPECT_NE(has_text, failed) << source
                                << (failed ? " failed but left a text file"
                                           : " has neither a text nor an error");
    converted += has_text ? 1 : 0;
  }
  for (const std::string& source : failures.sources) {
    EXPECT_TRUE(std::find(all.begin(), all.end(), source) != all.end()) << source;
  }
  // Damage elsewhere in the batch never costs a good document.
  for (const auto& [in_batch, alone_name] : good_in_batch) {
    if (failing_alone.count(alone_name) == 0) {
      EXPECT_EQ(failures.sources.count(in_batch), 0u) << in_batch << " converts on its own";
    }
  }
  // Seen, not judged here: each is a reader fault the separate process
  // turned into one failed file.
  std::printf(
      "%zu documents: %d converted, %zu failed (%d ended the word processor, %d ran into the "
      "time limit; %zu of the undamaged ones fail on their own)\n",
      all.size(), converted, failures.sources.size(), failures.engine_ended, failures.timed_out,
      failing_alone.size());
}

}  // namespace
}  // namespace quillon::testing
