// The progress line of a long run over many files: one line every 250 files
// or 64 MB, and one at the end, only when the work is large enough to wait
// for.
#ifndef PUBLISH_PROGRESS_H_
#define PUBLISH_PROGRESS_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

using ProgressLine = std::function<void(const std::string& line)>;

class Progress {
 public:
  // totalBytes: unset when the sizes are not known beforehand (files on a
  // server); then only the count of files decides whether lines are shown.
  Progress(const char* doing, size_t totalFiles, std::optional<uint64_t> totalBytes,
           const ProgressLine& line);

  void Done(uint64_t size);

 private:
  const char* doing_;
  size_t totalFiles_;
  std::optional<uint64_t> totalBytes_;
  const ProgressLine& line_;
  bool shown_;
  size_t files_ = 0, lastFiles_ = 0;
  uint64_t bytes_ = 0, lastBytes_ = 0;
};

#endif  // PUBLISH_PROGRESS_H_
