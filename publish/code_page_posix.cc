// glibc's iconv: "CP949" is the Unified Hangul Code, as on Windows.
#include <errno.h>
#include <iconv.h>

#include "publish/code_page.h"
#include "base/utf8.h"

namespace {

class ScopedIconv {
 public:
  ScopedIconv(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ScopedIconv(const ScopedIconv&) = delete;
  ScopedIconv& operator=(const ScopedIconv&) = delete;
  ~ScopedIconv() {
    if (IsValid()) iconv_close(handle_);
  }
  bool IsValid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const { return handle_; }

 private:
  iconv_t handle_;
};

// Empty when a character has no exact form in the target or the input is
// malformed: glibc reports both as EILSEQ or EINVAL instead of substituting.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view input) {
  ScopedIconv converter(to, from);
  if (!converter.IsValid()) return std::nullopt;
  std::string in(input);
  std::string out(input.size() * 4 + 16, '\0');
  char* inNext = in.data();
  size_t inLeft = in.size();
  char* outNext = out.data();
  size_t outLeft = out.size();
  if (iconv(converter.Get(), &inNext, &inLeft, &outNext, &outLeft) == static_cast<size_t>(-1) ||
      inLeft != 0) {
    return std::nullopt;
  }
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace

std::optional<std::string> EncodeCodePage949(std::u16string_view text) {
  return Convert("CP949", "UTF-8", ToUtf8(text));
}

std::optional<std::u16string> DecodeCodePage949(std::string_view bytes) {
  const std::optional<std::string> utf8 = Convert("UTF-8", "CP949", bytes);
  if (!utf8) return std::nullopt;
  return FromUtf8(*utf8);
}
