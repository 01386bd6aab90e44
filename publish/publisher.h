// Publishing a release folder as the folder the update server serves, and
// checking a served folder against its list.
#ifndef PUBLISH_PUBLISHER_H_
#define PUBLISH_PUBLISHER_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "publish/file_system.h"
#include "publish/progress.h"

struct PublishOptions {
  std::u16string releaseFolder;
  std::u16string servedFolder;
  std::optional<std::u16string> previousFolder;
  // --release: the version new or changed files get.
  std::optional<int64_t> releaseNumber;
  // --release-number: the signed list's number, above the previous one's.
  std::optional<int64_t> listNumber;
  bool serveIniAsZip = true;
  // The private key that signs the list (filelist.txt.sig beside it).
  std::optional<std::u16string> keyFile;
  // Writes "<file>.gz" beside each served file and the list where it saves
  // a tenth of the size (publish/gzip_companions.h).
  bool gzip = false;
};

// Messages are UTF-8 lines that name the file they are about.
struct Outcome {
  std::vector<std::string> errors;  // when any: nothing was written
  std::vector<std::string> warnings;
  std::vector<std::string> notes;
};

// The served folder receives every file under its served name, the block
// index of each large one (ServedWithBlockIndex), with gzip the .gz of the
// others, with a key filelist.txt.sig, and filelist.txt, all written
// beside it first (see StagingFolderOf) and then moved in, the list last.
// A .gz that would no longer decode to its file's bytes is removed, and so
// is a served block index whose file is gone or now has none.
Outcome Publish(const PublishOptions& options, FileSystem& files, const ProgressLine& progress);

// Every listed file present, with the listed SHA-256 where the line has one,
// every name readable as the launcher reads it, every .gz beside a listed
// file or the list decoding to its bytes, every block index rebuilt from its
// file to the same bytes, none missing and none without its file; with publicKeyText (128 hex
// digits), filelist.txt.sig signs the list with that key.
Outcome Verify(const std::u16string& servedFolder, const std::optional<std::string>& publicKeyText,
               FileSystem& files);

// Whether a served file of this size gets a block index beside it
// (lists/block_index.h), and so no .gz: nginx's gzip_static serves no ranges
// of a .gz, and block updates fetch the file by ranges.
bool ServedWithBlockIndex(uint64_t size);
// "<served name>.crv3blocks"
std::u16string BlockIndexNameOf(const std::u16string& servedName);

// "<served folder>.crv3publish": where a publication is written before it is
// put in place.
std::u16string StagingFolderOf(const std::u16string& servedFolder);

#endif  // PUBLISH_PUBLISHER_H_
