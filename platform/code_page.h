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
