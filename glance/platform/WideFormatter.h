// The project's one printf-style formatter for wide text. Every log sink
// formats through it so that a log format written in the Windows convention
// gives the same UTF-16 text on every build, whatever the C runtime thinks
// %s or long mean.
//
// Conventions: %s %ls %ws take const wchar_t*; %hs %S take const char* holding
// UTF-8; %c %lc %wc take a wide character, %hc %C a narrow one. On integers
// (%d %i %u %x %X %o) no size and l are 32-bit, h 16-bit, hh 8-bit, I32
// 32-bit, and ll, I64, I, z, j, t 64-bit. %p prints the pointer as 16
// uppercase hex digits. Flags - + blank # 0, width and precision (numbers or
// *) behave as in printf; precision and width on strings count UTF-16 units.
// A precision never splits a surrogate pair: the pair is kept or dropped
// whole. A null string prints "(null)". %n writes nothing. At an unknown or
// unfinished conversion the rest of the format is copied as it stands and no
// further argument is read. The result is never cut; callers cut.
#pragma once

#include <cstdarg>
#include <string>

namespace Strato {

// Formats with the arguments in `args`, which are read from a copy: the
// caller's list is left as it was. A null format gives an empty text.
std::wstring formatWideV(const wchar_t* format, va_list args);

std::wstring formatWide(const wchar_t* format, ...);

// Formats as into a fixed buffer of `capacity` characters that holds its
// terminator: longer output is cut to capacity - 1 characters.
std::wstring formatWideFixedV(size_t capacity, const wchar_t* format, va_list args);

// The fixed buffer of the loggers' LogNormal ... LogInformation slots.
constexpr size_t kFixedLogBufferChars = 4160;

} // namespace Strato
