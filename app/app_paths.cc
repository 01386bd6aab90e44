#include "app/app_paths.h"

AppPaths MakeAppPaths() {
  AppPaths paths;
  paths.applicationDirectory = std::u16string(u"C:\\") + std::u16string(ApplicationDirectoryName);
  paths.localListPath = paths.applicationDirectory + u"\\" + std::u16string(LocalListName);
  paths.acceptedReleasePath =
      paths.applicationDirectory + u"\\" + std::u16string(AcceptedReleaseName);
  paths.executablePath = paths.applicationDirectory + u"\\" + std::u16string(ExecutableName);
  return paths;
}

std::u16string MakeInfoFilePath(const std::u16string& applicationDirectory) {
  return applicationDirectory + u"\\cv3info.ini";
}
