#ifndef LISTS_SERVER_LIST_H_
#define LISTS_SERVER_LIST_H_

#include <string>

// The server's version list exactly as received; empty when none was
// obtained.
std::string FetchServerList();

#endif  // LISTS_SERVER_LIST_H_
