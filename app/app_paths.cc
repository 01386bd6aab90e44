#include "app/app_paths.h"

AppPaths MakeAppPaths() {
  AppPaths paths;
  paths.applicationDirectory = ApplicationDirectory();
  paths.localListPath = paths.applicationDirectory + u"\\" + std::u16string(LocalListName);
  paths.acceptedReleasePath =
      paths.applicationDirectory + u"\\" + std::u16string(AcceptedReleaseName);
  paths.executablePath = paths.applicationDirectory + u"\\" + std::u16string(ExecutableName);
  return paths;
}

std::u16string MakeInfoFilePath(const std::u16string& applicationDirectory) {
  return applicationDirectory + u"\\cv3info.ini";
}
