#include "app/update_run.h"

#include <string>

#include "app/app_paths.h"
#include "app/command_line.h"
#include "app/messages.h"
#include "app/platform.h"
#include "app/update_pass.h"
#include "lists/ansi.h"
#include "lists/list_signature.h"
#include "lists/server_list.h"
#include "lists/storable_name.h"
#include "lists/version_list.h"

namespace {

// Only the last path component is created; "C:\" is taken to exist. A plain
// file of that name counts as existing.
bool EnsureApplicationDirectory(Platform& platform, const std::u16string& directory) {
  return platform.PathExists(directory) || platform.MakeDirectory(directory);
}

// Where the files the record names are stored: the only targets whose aside
// copies, made by launchers that kept no journal of them, may be deleted.
// A name that cannot be stored there names no file of the launcher's.
std::vector<std::u16string> RecordedTargets(Platform& platform, const AppPaths& paths) {
  std::vector<std::u16string> targets;
  for (const auto& entry : ParseVersionList(platform.ReadTextFile(paths.localListPath))) {
    const std::u16string localName = LocalFileName(AnsiToWide(entry.first));
    if (IsStorableName(localName, paths.applicationDirectory)) {
      targets.push_back(paths.applicationDirectory + u"\\" + localName);
    }
  }
  return targets;
}

// No list was obtained: start what is installed, unchanged, or say why not.
int StartOffline(Platform& platform, const AppPaths& paths, const CommandLineOptions& options) {
  if (!platform.PathExists(paths.executablePath)) {
    platform.ShowMessage(kCannotReachServer, kErrorCaption, MessageIcon::kError);
    return 1;
  }
  platform.StartProgram(paths.executablePath, options.launchParameters,
                        paths.applicationDirectory);
  return 0;
}

// The shortcut always points at the application and starts in its
// directory; only its icon follows the program that is about to start.
int StartApplication(Platform& platform, const AppPaths& paths, const CommandLineOptions& options) {
  const std::u16string& target =
      options.executableOverride.empty() ? paths.executablePath : options.executableOverride;
  if (!platform.PathExists(target)) {
    platform.CreateDesktopShortcut(paths.executablePath, paths.applicationDirectory,
                                   paths.executablePath);
    platform.ShowMessage(kExecutableMissing, kNoticeCaption, MessageIcon::kInformation);
    return 1;
  }
  platform.CreateDesktopShortcut(paths.executablePath, paths.applicationDirectory, target);
  platform.StartProgram(target, options.launchParameters, paths.applicationDirectory);
  return 0;
}

// The server's list, or empty when none was obtained. When a key must sign
// it, the signature is fetched right after it under the same rules and a
// list without a valid one counts as none: nothing is closed, fetched or
// written on the word of a list that may not be the publisher's.
std::string FetchAcceptedList(Platform& platform, std::string_view listPublicKeyText) {
  std::string list = platform.FetchServerList(std::u16string(ServerListUrl), kServerListSizeLimit);
  if (list.empty() || listPublicKeyText.empty()) return list;
  const std::string signature =
      platform.FetchServerList(std::u16string(ServerListSignatureUrl), kListSignatureSizeLimit);
  if (!IsListSignedBy(list, signature, listPublicKeyText)) return std::string();
  return list;
}

}  // namespace

int RunUpdate(std::u16string_view commandLine, Platform& platform,
              std::string_view listPublicKeyText) {
  const CommandLineOptions options = ParseCommandLine(commandLine);
  const AppPaths paths = MakeAppPaths();

  if (!EnsureApplicationDirectory(platform, paths.applicationDirectory)) {
    platform.ShowMessage(kCannotCreateDirectory, kErrorCaption, MessageIcon::kError);
    return 1;
  }
  // Before anything is started or selected: an old file that a stopped run
  // left renamed aside is back in place.
  platform.SettleAsideCopies(paths.applicationDirectory, RecordedTargets(platform, paths));

  const std::string serverText = FetchAcceptedList(platform, listPublicKeyText);
  if (serverText.empty()) return StartOffline(platform, paths, options);

  switch (RunUpdatePass(serverText, !listPublicKeyText.empty(), platform, paths)) {
    case PassResult::kFinished:
      break;
    case PassResult::kCancelled:  // the user has been told; nothing is started
      return 0;
    case PassResult::kStaleList:
      return StartOffline(platform, paths, options);
  }

  return StartApplication(platform, paths, options);
}
