// Parse speed of version lists and info files at growing sizes: prints MB/s
// and ns per line. The line scan alone ("lines only") shows the linear part;
// the full parses add the map's inserts, whose cost per line grows with the
// map's size (log n comparisons, most of them cache misses once the map
// outgrows the caches).
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "lists/info_file.h"
#include "lists/version_list.h"

namespace {

// Names in a scrambled order, so the map sees inserts all over its range.
std::string FileName(int index, int count) {
  const int scrambled = static_cast<int>((static_cast<long long>(index) * 7919) % count);
  return "data/pack" + std::to_string(scrambled % 97) + "/file" + std::to_string(scrambled) + ".dll";
}

std::string MakeVersionList(int lines) {
  std::string text;
  for (int i = 0; i < lines; ++i) {
    text += FileName(i, lines) + "|" + std::to_string(20240000 + i) + "\r\n";
  }
  return text;
}

// Sections of three lines: "[name]", "fn=" and "ver=".
std::string MakeInfoFile(int lines) {
  std::string text;
  const int sections = lines / 3;
  for (int i = 0; i < sections; ++i) {
    text += "[file" + std::to_string(i) + "]\r\nfn=" + FileName(i, sections) + "\r\nver=" +
            std::to_string(20240000 + i) + "\r\n";
  }
  return text;
}

// Repeats the parse for at least half a second and prints the mean figures.
void Measure(const char* kind, int lines, const std::string& text,
             const std::function<size_t(const std::string&)>& parse) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  std::chrono::duration<double> elapsed{};
  size_t entries = 0;
  int runs = 0;
  do {
    entries = parse(text);
    ++runs;
    elapsed = Clock::now() - start;
  } while (elapsed.count() < 0.5);
  const double secondsPerRun = elapsed.count() / runs;
  std::printf("%-12s %7d lines %9zu bytes %7zu entries %8.1f MB/s %8.1f ns/line\n", kind, lines,
              text.size(), entries, text.size() / secondsPerRun / 1e6, secondsPerRun * 1e9 / lines);
}

}  // namespace

int main() {
  // The line scan and number conversion alone, without building the map.
  for (const int lines : {1000, 10000, 100000}) {
    Measure("lines only", lines, MakeVersionList(lines), [](const std::string& text) {
      size_t count = 0;
      int64_t versions = 0;
      ReadListLines(text, [&](std::string_view line) {
        versions += ParseVersionNumber(line.substr(line.find('|') + 1));
        ++count;
      });
      return versions == 0 ? 0 : count;
    });
  }
  for (const int lines : {1000, 10000, 100000}) {
    Measure("version list", lines, MakeVersionList(lines),
            [](const std::string& text) { return ParseVersionList(text).size(); });
  }
  for (const int lines : {1000, 10000, 100000}) {
    Measure("info file", lines, MakeInfoFile(lines),
            [](const std::string& text) { return ParseInfoFile(text).size(); });
  }
  return 0;
}
