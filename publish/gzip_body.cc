#include "publish/gzip_body.h"

#include <zlib.h>

#include <istream>
#include <ostream>
#include <sstream>
#include <string>

namespace {

constexpr size_t kChunk = 64 * 1024;
// windowBits 15 plus 16: a gzip wrapper instead of zlib's own.
constexpr int kGzipWindowBits = 15 + 16;
constexpr int kBestMemoryLevel = 9;
// "unknown" in the header's OS field, where zlib would write the build host's.
constexpr int kUnknownSystem = 255;

// A zlib stream ended on every path (End is harmless on a stream whose
// init failed: zlib checks its state first).
template <int (*End)(z_streamp)>
struct ZlibStream {
  ZlibStream() = default;
  ~ZlibStream() { End(&stream); }
  ZlibStream(const ZlibStream&) = delete;
  ZlibStream& operator=(const ZlibStream&) = delete;

  z_stream stream{};
};

// Reads up to a chunk; false when the stream failed rather than ended.
bool ReadChunk(std::istream& in, std::string& chunk) {
  chunk.resize(kChunk);
  in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  chunk.resize(static_cast<size_t>(in.gcount()));
  return !in.bad();
}

Bytef* Bytes(std::string& text) { return reinterpret_cast<Bytef*>(text.data()); }

}  // namespace

bool WriteGzip(std::istream& in, std::ostream& out) {
  ZlibStream<deflateEnd> deflater;
  z_stream& stream = deflater.stream;
  gz_header header{};  // no name, no comment, time 0; zlib reads it at the first deflate
  header.os = kUnknownSystem;
  if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, kGzipWindowBits, kBestMemoryLevel,
                   Z_DEFAULT_STRATEGY) != Z_OK ||
      deflateSetHeader(&stream, &header) != Z_OK) {
    return false;
  }
  std::string input, output(kChunk, '\0');
  int flush = Z_NO_FLUSH;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    if (stream.avail_in == 0 && flush == Z_NO_FLUSH) {
      if (!ReadChunk(in, input)) return false;
      stream.next_in = Bytes(input);
      stream.avail_in = static_cast<uInt>(input.size());
      if (input.empty()) flush = Z_FINISH;
    }
    stream.next_out = Bytes(output);
    stream.avail_out = static_cast<uInt>(output.size());
    result = deflate(&stream, flush);
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) return false;
    if (!out.write(output.data(), static_cast<std::streamsize>(output.size() - stream.avail_out))) {
      return false;
    }
  }
  return static_cast<bool>(out.flush());
}

std::string GzipOf(std::string_view bytes) {
  std::istringstream in{std::string(bytes)};
  std::ostringstream out;
  return WriteGzip(in, out) ? out.str() : std::string();
}

bool GzipDecodesTo(std::istream& gz, std::istream& plain) {
  ZlibStream<inflateEnd> inflater;
  z_stream& stream = inflater.stream;
  if (inflateInit2(&stream, kGzipWindowBits) != Z_OK) return false;
  std::string input, output(kChunk, '\0'), expected;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    if (stream.avail_in == 0) {
      if (!ReadChunk(gz, input) || input.empty()) return false;  // cut short
      stream.next_in = Bytes(input);
      stream.avail_in = static_cast<uInt>(input.size());
    }
    stream.next_out = Bytes(output);
    stream.avail_out = static_cast<uInt>(output.size());
    result = inflate(&stream, Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END) return false;
    const size_t produced = output.size() - stream.avail_out;
    expected.resize(produced);
    if (!plain.read(expected.data(), static_cast<std::streamsize>(produced)) ||
        expected.compare(0, produced, output, 0, produced) != 0) {
      return false;
    }
  }
  // Neither stream may hold anything more: no second member, no trailing
  // bytes, no longer plain file.
  return stream.avail_in == 0 && gz.peek() == std::istream::traits_type::eof() &&
         plain.peek() == std::istream::traits_type::eof();
}
