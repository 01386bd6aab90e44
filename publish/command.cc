#include "publish/command.h"

#include <functional>
#include <limits>
#include <optional>

#include "lists/list_signature.h"
#include "publish/publisher.h"
#include "publish/served_check.h"
#include "publish/signing_key.h"
#include "base/utf8.h"

namespace {

constexpr const char* kUsage =
    "usage: crv3publish RELEASE_DIR --out SERVED_DIR [--previous PREVIOUS_SERVED_DIR] "
    "[--release N] [--release-number N] [--keep-ini] [--key PRIVATE_KEY_FILE] [--gzip] | crv3publish verify SERVED_DIR "
    "[--public-key HEX] | crv3publish check URL [--public-key HEX] | "
    "crv3publish keygen PRIVATE_KEY_FILE";

// A whole number from 1 up, nothing else.
std::optional<int64_t> ParseReleaseNumber(const std::u16string& text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  int64_t number = 0;
  for (const char16_t unit : text) {
    if (unit < u'0' || unit > u'9') return std::nullopt;
    const int64_t digit = unit - u'0';
    if (number > (std::numeric_limits<int64_t>::max() - digit) / 10) return std::nullopt;
    number = number * 10 + digit;
  }
  if (number < 1) return std::nullopt;
  return number;
}

// The options, or the one line that says what is wrong with them.
std::optional<PublishOptions> ParseOptions(const std::vector<std::u16string>& arguments,
                                           std::string& problem) {
  PublishOptions options;
  bool haveRelease = false, haveOut = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::u16string& argument = arguments[i];
    const bool takesValue =
        argument == u"--out" || argument == u"--previous" || argument == u"--release" ||
        argument == u"--release-number" || argument == u"--key";
    if (takesValue && i + 1 == arguments.size()) {
      problem = ToUtf8(argument) + " needs a value";
      return std::nullopt;
    }
    if (argument == u"--out") {
      options.servedFolder = arguments[++i];
      haveOut = true;
    } else if (argument == u"--previous") {
      options.previousFolder = arguments[++i];
    } else if (argument == u"--release") {
      options.releaseNumber = ParseReleaseNumber(arguments[++i]);
      if (!options.releaseNumber) {
        problem = "--release " + ToUtf8(arguments[i]) + ": not a whole number from 1 up";
        return std::nullopt;
      }
    } else if (argument == u"--release-number") {
      options.listNumber = ParseReleaseNumber(arguments[++i]);
      if (!options.listNumber) {
        problem = "--release-number " + ToUtf8(arguments[i]) + ": not a whole number from 1 up";
        return std::nullopt;
      }
    } else if (argument == u"--key") {
      options.keyFile = arguments[++i];
    } else if (argument == u"--gzip") {
      options.gzip = true;
    } else if (argument == u"--keep-ini") {
      options.serveIniAsZip = false;
    } else if (argument.rfind(u"--", 0) == 0 || haveRelease) {
      problem = ToUtf8(argument) + ": unexpected argument";
      return std::nullopt;
    } else {
      options.releaseFolder = argument;
      haveRelease = true;
    }
  }
  if (!haveRelease || !haveOut) {
    problem = "name the release folder and --out SERVED_DIR";
    return std::nullopt;
  }
  if (options.listNumber && !options.keyFile) {
    problem = "--release-number numbers a signed list; give --key too";
    return std::nullopt;
  }
  return options;
}

int Report(const Outcome& outcome, Console& console) {
  for (const std::string& error : outcome.errors) console.Err("error: " + error);
  if (!outcome.errors.empty()) return kExitError;
  for (const std::string& warning : outcome.warnings) console.Err("warning: " + warning);
  for (const std::string& note : outcome.notes) console.Out(note);
  return kExitOk;
}

using OptionalKey = std::optional<std::string>;

// "verify SERVED_DIR" and "check URL", each with an optional --public-key HEX.
int RunWithPublicKey(
    const std::vector<std::u16string>& arguments, const char* shape, Console& console,
    const std::function<Outcome(const std::u16string&, const OptionalKey&)>& run) {
  const bool withKey = arguments.size() == 4 && arguments[2] == u"--public-key";
  if (arguments.size() != 2 && !withKey) {
    console.Err(std::string("error: ") + shape + " and --public-key HEX; " + kUsage);
    return kExitError;
  }
  const OptionalKey key = withKey ? OptionalKey(ToUtf8(arguments[3])) : std::nullopt;
  if (key && ParsePublicKeyText(*key).empty()) {
    console.Err("error: --public-key " + *key + ": not 128 hex digits");
    return kExitError;
  }
  return Report(run(arguments[1], key), console);
}

}  // namespace

int RunPublishCommand(const std::vector<std::u16string>& arguments, FileSystem& files,
                      Console& console) {
  if (arguments.size() == 1 && (arguments[0] == u"--help" || arguments[0] == u"-h")) {
    console.Out(kUsage);
    return kExitOk;
  }
  if (!arguments.empty() && arguments[0] == u"verify") {
    return RunWithPublicKey(arguments, "verify takes one folder", console,
                            [&files](const std::u16string& folder, const OptionalKey& key) {
                              return Verify(folder, key, files);
                            });
  }
  if (!arguments.empty() && arguments[0] == u"check") {
    return RunWithPublicKey(arguments, "check takes one URL", console,
                            [&console](const std::u16string& url, const OptionalKey& key) {
                              return CheckServed(url, key, *MakeHttpFetch(),
                                                 [&console](const std::string& line) {
                                                   console.Out(line);
                                                 });
                            });
  }
  if (!arguments.empty() && arguments[0] == u"keygen") {
    if (arguments.size() != 2) {
      console.Err(std::string("error: keygen takes one file name; ") + kUsage);
      return kExitError;
    }
    return Report(GenerateKeyFiles(arguments[1], files), console);
  }
  std::string problem;
  const std::optional<PublishOptions> options = ParseOptions(arguments, problem);
  if (!options) {
    console.Err("error: " + problem + "; " + kUsage);
    return kExitError;
  }
  return Report(Publish(*options, files, [&console](const std::string& line) { console.Out(line); }),
                console);
}
