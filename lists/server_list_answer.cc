#include "lists/server_list_answer.h"

bool IsCompleteList(const ServerListAnswer& answer, size_t receivedSize) {
  if (answer.httpStatus && (*answer.httpStatus < 200 || *answer.httpStatus > 299)) return false;
  return !answer.contentLength || *answer.contentLength == receivedSize;
}
