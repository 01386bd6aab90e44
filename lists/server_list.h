#ifndef LISTS_SERVER_LIST_H_
#define LISTS_SERVER_LIST_H_

#include <string>

// The text at url (the version list, or its signature) exactly as received;
// empty when none was obtained.
[[nodiscard]] std::string FetchServerList(const std::u16string& url);

#endif  // LISTS_SERVER_LIST_H_
