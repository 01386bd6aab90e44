# The update server's base URL is fixed at build time. Only the scheme and
# host may vary: the path must be /cv3down/, and the whole value must consist
# of characters the URL encoder passes unchanged, so that only file names are
# ever percent-encoded.
set(UPDATE_BASE_URL "" CACHE STRING "Update server base URL, e.g. https://updates.example.com/cv3down/")

if(NOT WIN32 AND UPDATE_BASE_URL STREQUAL "")
  # Native builds only run unit tests, which never reach a server.
  set(UPDATE_BASE_URL "https://update.test/cv3down/")
endif()
set(UPDATE_URL_HINT "pass the vendor's update server, e.g. cmake --preset windows -DUPDATE_BASE_URL=https://updates.example.com/cv3down/")
if(UPDATE_BASE_URL STREQUAL "")
  message(FATAL_ERROR "UPDATE_BASE_URL is not set: ${UPDATE_URL_HINT}")
endif()
if(NOT UPDATE_BASE_URL MATCHES "^https?://[A-Za-z0-9._~:-]+/cv3down/$")
  message(FATAL_ERROR "UPDATE_BASE_URL '${UPDATE_BASE_URL}' must be http(s)://HOST[:PORT]/cv3down/ "
                      "with only letters, digits and - _ . ~ : in the host part")
endif()
# A launcher built for a host that can never exist would never update.
if(UPDATE_BASE_URL MATCHES "\\.invalid[:/]")
  message(FATAL_ERROR "UPDATE_BASE_URL names the placeholder host '${UPDATE_BASE_URL}': ${UPDATE_URL_HINT}")
endif()
# Over plain HTTP anyone on the network path can make the launcher install
# and run any program; only a local test server may be reached that way.
option(UPDATE_ALLOW_PLAIN_HTTP "Accept an http:// UPDATE_BASE_URL (local test servers only)" OFF)
if(WIN32 AND UPDATE_BASE_URL MATCHES "^http://" AND NOT UPDATE_ALLOW_PLAIN_HTTP)
  message(FATAL_ERROR "UPDATE_BASE_URL '${UPDATE_BASE_URL}' is plain HTTP: anyone on the network "
                      "path could make the launcher install and run any program. Use an https:// "
                      "URL, or for a local test server pass -DUPDATE_ALLOW_PLAIN_HTTP=ON")
endif()


# A launcher built with the publisher's public key accepts a server list only
# with a valid signature beside it (filelist.txt.sig). The key is the 128 hex
# digits of its point X||Y, as the publisher's key generation prints it;
# empty builds a launcher that fetches no signature.
set(UPDATE_PUBLIC_KEY "" CACHE STRING "Public key (128 hex digits of X||Y) that must sign filelist.txt; empty for an unsigned list")
if(NOT UPDATE_PUBLIC_KEY STREQUAL "" AND NOT UPDATE_PUBLIC_KEY MATCHES "^[0-9A-Fa-f]+$")
  message(FATAL_ERROR "UPDATE_PUBLIC_KEY must be hex digits only (the X||Y point of a P-256 key)")
endif()
string(LENGTH "${UPDATE_PUBLIC_KEY}" update_public_key_length)
if(NOT UPDATE_PUBLIC_KEY STREQUAL "" AND NOT update_public_key_length EQUAL 128)
  message(FATAL_ERROR "UPDATE_PUBLIC_KEY has ${update_public_key_length} hex digits; a P-256 public key X||Y has 128")
endif()

if(WIN32 AND UPDATE_PUBLIC_KEY STREQUAL "")
  message(WARNING "UPDATE_PUBLIC_KEY is not set: this launcher installs and runs whatever the "
                  "server at ${UPDATE_BASE_URL} lists, signed or not. To accept only lists you "
                  "signed, make a key with crv3publish keygen and pass -DUPDATE_PUBLIC_KEY=<its "
                  "128 hex digits>")
endif()

configure_file(${CMAKE_SOURCE_DIR}/app/update_url.h.in ${CMAKE_BINARY_DIR}/generated/app/update_url.h @ONLY)
