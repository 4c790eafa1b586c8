#include "base/exceptions.h"

#include <cstdarg>
#include <cstdio>

AnsiString Format(const char* Pattern, ...) {
  va_list args;
  va_start(args, Pattern);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, Pattern, args);
  va_end(args);
  AnsiString result;
  if (length > 0) {
    result.resize(static_cast<size_t>(length));
    std::vsnprintf(&result[0], result.size() + 1, Pattern, again);
  }
  va_end(again);
  return result;
}

AnsiString MessageWithFullStop(const AnsiString& Message) {
  if (!Message.empty() && static_cast<unsigned char>(Message.back()) > '.') return Message + ".";
  return Message;
}
