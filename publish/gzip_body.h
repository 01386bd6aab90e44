// The ".gz" bodies a web server hands to clients that accept gzip in place of
// the plain file (nginx's gzip_static): written and checked as streams, so a
// file of any size needs only a few buffers.
#ifndef PUBLISH_GZIP_BODY_H_
#define PUBLISH_GZIP_BODY_H_

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

// Compresses everything `in` holds into `out` as one gzip member at best
// compression. The header carries no name and no time and names no host
// system, so the same bytes give the same .gz on every host. False when
// reading, writing or compressing fails.
[[nodiscard]] bool WriteGzip(std::istream& in, std::ostream& out);

// WriteGzip of bytes held in memory; empty when zlib fails.
std::string GzipOf(std::string_view bytes);

// True when `gz` holds exactly one gzip member, nothing after it, and its
// decoded bytes equal everything `plain` holds.
[[nodiscard]] bool GzipDecodesTo(std::istream& gz, std::istream& plain);

// A .gz is worth serving when it saves at least a tenth of the file.
constexpr bool GzipSavesEnough(uint64_t gzipSize, uint64_t plainSize) {
  return gzipSize * 10 <= plainSize * 9;
}

#endif  // PUBLISH_GZIP_BODY_H_
