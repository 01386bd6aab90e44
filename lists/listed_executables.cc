#include "lists/listed_executables.h"

#include "lists/ansi.h"
#include "lists/executable_names.h"
#include "lists/version_list.h"

std::vector<std::u16string> CollectExecutableNames(std::string_view listText) {
  std::vector<std::u16string> names;
  ReadListLines(listText, [&names](std::string_view line) {
    if (const auto base = ExecutableBaseName(ListLineName(line))) {
      names.push_back(AnsiToWide(std::string(*base)));
    }
  });
  return names;
}
