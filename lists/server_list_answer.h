// What the server told about its answer to the list request, and whether the
// bytes received can be taken as its list.
#ifndef LISTS_SERVER_LIST_ANSWER_H_
#define LISTS_SERVER_LIST_ANSWER_H_

#include <cstddef>
#include <cstdint>
#include <optional>

struct ServerListAnswer {
  std::optional<uint32_t> httpStatus;     // unset when the platform did not tell
  std::optional<uint64_t> contentLength;  // unset when not announced
};

// An error page or a body shorter or longer than announced is no list. When
// the platform told nothing about the answer, the body is taken as it came.
[[nodiscard]] bool IsCompleteList(const ServerListAnswer& answer, size_t receivedSize);

#endif  // LISTS_SERVER_LIST_ANSWER_H_
