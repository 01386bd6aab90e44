// The crv3publish command line:
//   crv3publish RELEASE_DIR --out SERVED_DIR [--previous PREVIOUS_SERVED_DIR]
//               [--release N] [--release-number N] [--keep-ini]
//               [--key PRIVATE_KEY_FILE] [--gzip]
//   crv3publish verify SERVED_DIR [--public-key HEX]
//   crv3publish check URL [--public-key HEX]
//   crv3publish keygen PRIVATE_KEY_FILE
#ifndef PUBLISH_COMMAND_H_
#define PUBLISH_COMMAND_H_

#include <string>
#include <vector>

#include "publish/file_system.h"

// Where the command's lines go (UTF-8, without line ends).
class Console {
 public:
  virtual ~Console() = default;
  virtual void Out(const std::string& line) = 0;
  virtual void Err(const std::string& line) = 0;
};

inline constexpr int kExitOk = 0;
inline constexpr int kExitError = 2;

// arguments: everything after the program's name.
int RunPublishCommand(const std::vector<std::u16string>& arguments, FileSystem& files,
                      Console& console);

#endif  // PUBLISH_COMMAND_H_
