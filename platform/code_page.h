#pragma once
// The library's multi-byte text is Shift-JIS (code page 932): file names reach the
// media-filter calls as UTF-16 and the log is written in Shift-JIS from UTF-8 sources.
#include <string>
#include <string_view>

// A byte that starts no Shift-JIS character becomes U+FFFD.
std::u16string ShiftJisToWide(std::string_view text);
// A character Shift-JIS cannot hold (or an unpaired surrogate) becomes '?'.
std::string WideToShiftJis(std::u16string_view text);
// Bytes that are not UTF-8 are taken to be Shift-JIS already (a file name, say) and
// kept; a character Shift-JIS cannot hold becomes '?'.
std::string Utf8ToShiftJis(std::string_view text);

// File names: the library's are Shift-JIS, the host's file system's are UTF-8, and this
// is the one place where one becomes the other. A byte that starts no Shift-JIS
// character is kept as it is.
std::string ShiftJisToUtf8(std::string_view text);
// A host name (a temporary file's, say) for the media-filter calls; a byte that is not
// UTF-8 becomes U+FFFD.
std::u16string Utf8ToWide(std::string_view text);
