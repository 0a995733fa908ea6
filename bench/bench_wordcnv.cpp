// Speed of the legacy converter: a 100,000-row dBase table that the
// benchmark writes itself (through shapelib), and the corpus's Lotus
// sheets; rows and cells per second, in process and through the program
// as the engine starts it.
//
// Usage: bench_wordcnv [ROWS] [REPEATS]   (default 100000 rows, 5 repeats)

#include <shapefil.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "wordcnv/legacy_converter.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using quillon::wordcnv::ConversionCounts;
using quillon::wordcnv::ConvertLegacyFile;

bool WriteTable(const std::string& path, int rows) {
  DBFHandle table = DBFCreateEx(path.c_str(), "LDID/3");
  if (table == nullptr) {
    return false;
  }
  DBFAddField(table, "NAME", FTString, 24, 0);
  DBFAddField(table, "CITY", FTString, 16, 0);
  DBFAddField(table, "AMOUNT", FTDouble, 12, 2);
  DBFAddField(table, "BORN", FTDate, 8, 0);
  DBFAddField(table, "ACTIVE", FTLogical, 1, 0);
  // Windows-1252 text, as the table's language driver says.
  static const char* kCities[] = {"Z\xFCrich", "Gen\xE8ve", "K\xF6ln", "Lyon", "Porto", "Graz"};
  for (int r = 0; r < rows; ++r) {
    const std::string name = "Customer " + std::to_string(r);
    char born[16];
    std::snprintf(born, sizeof born, "%04d%02d%02d", 1930 + r % 80, 1 + r % 12, 1 + r % 28);
    DBFWriteStringAttribute(table, r, 0, name.c_str());
    DBFWriteStringAttribute(table, r, 1, kCities[r % 6]);
    DBFWriteDoubleAttribute(table, r, 2, (r % 100000) * 1.25);
    DBFWriteStringAttribute(table, r, 3, born);
    DBFWriteLogicalAttribute(table, r, 4, r % 3 == 0 ? 'T' : 'F');
  }
  DBFClose(table);
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::string ProgramFolder() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

bool RunProgram(const std::string& source, const std::string& html) {
  const std::string program = ProgramFolder() + "/wordcnv.dll";
  std::vector<std::string> args = {program, source, html, "LOTUS32.CNV", "html32.cnv"};
  std::vector<char*> argv;
  for (std::string& a : args) {
    argv.push_back(a.data());
  }
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    return false;
  }
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Converts every source `repeats` times; prints the median run.
void Measure(const char* label, const std::vector<std::string>& sources, const std::string& html,
             int repeats, bool through_program) {
  ConversionCounts total;
  for (const std::string& source : sources) {
    ConversionCounts counts;
    const std::string error = ConvertLegacyFile(source, html, &counts);
    if (!error.empty()) {
      std::printf("%s: %s\n", label, error.c_str());
      return;
    }
    total.rows += counts.rows;
    total.cells += counts.cells;
  }
  std::vector<double> seconds;
  for (int i = 0; i < repeats; ++i) {
    const auto start = Clock::now();
    for (const std::string& source : sources) {
      const bool ok =
          through_program ? RunProgram(source, html) : ConvertLegacyFile(source, html).empty();
      if (!ok) {
        std::printf("%s: conversion of %s failed\n", label, source.c_str());
        return;
      }
    }
    seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  const double s = Median(seconds);
  std::printf("%-44s %8zu rows %9zu cells  %8.1f ms  %11.0f rows/s %12.0f cells/s\n", label,
              total.rows, total.cells, s * 1000, total.rows / s, total.cells / s);
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  char folder_template[] = "/tmp/bench_wordcnv.XXXXXX";
  const char* folder = ::mkdtemp(folder_template);
  if (folder == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = folder;
  const std::string table = dir + "/customers.dbf";
  const std::string html = dir + "/out.htm";
  const auto written = Clock::now();
  if (!WriteTable(table, rows)) {
    std::printf("cannot write %s\n", table.c_str());
    return 1;
  }
  std::printf("wrote %d rows (%ju bytes) in %.1f ms\n", rows,
              static_cast<std::uintmax_t>(std::filesystem::file_size(table)),
              std::chrono::duration<double, std::milli>(Clock::now() - written).count());
  Measure("dBase table, in process", {table}, html, repeats, false);
  Measure("dBase table, wordcnv.dll per file", {table}, html, repeats, true);

  const std::string corpus = std::string(QUILLON_CORPUS_DIR) + "/legacy";
  std::vector<std::string> sheets;
  for (const char* name :
       {"tika__testLotus123.wk1", "tika__testLotus123.wk3", "tika__testLotus123-lotusftp.123"}) {
    if (std::filesystem::exists(corpus + "/" + name)) {
      sheets.push_back(corpus + "/" + name);
    }
  }
  if (sheets.empty()) {
    std::printf("corpus sheets: %s is absent, skipped\n", corpus.c_str());
  } else {
    Measure("corpus sheets (3 files), in process", sheets, html, repeats * 20, false);
    Measure("corpus sheets (3 files), wordcnv.dll per file", sheets, html, repeats * 4, true);
  }
  std::filesystem::remove_all(dir);
  return 0;
}
