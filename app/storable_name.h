// Whether a name from the server's list can be stored as a plain file
// strictly below the application directory.
#ifndef APP_STORABLE_NAME_H_
#define APP_STORABLE_NAME_H_

#include <string>
#include <string_view>

// False for names that would write somewhere else, reach a device, or let one
// download overwrite another's file: empty names, a leading separator, any
// ":" (drives, streams), components that Windows rewrites (trailing dots or
// blanks, "..") or takes for a device, the launcher's staging ending, and
// names that do not fit the path limit.
[[nodiscard]] bool IsStorableName(std::u16string_view name,
                                  const std::u16string& applicationDirectory);

#endif  // APP_STORABLE_NAME_H_
