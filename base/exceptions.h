#pragma once
// The class library's exception classes. Every failure the program reports is one of these.
#include <exception>
#include <utility>

#include "base/system.h"

class Exception : public std::exception {
public:
  explicit Exception(AnsiString Message) : FMessage(std::move(Message)) {}
  const AnsiString& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }

private:
  AnsiString FMessage;
};

class EStreamError : public Exception {
public:
  using Exception::Exception;
};

class EReadError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// A file stream could not create or open its file.
class EFCreateError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

class EInOutError : public Exception {
public:
  EInOutError(AnsiString Message, int ErrorCode)
      : Exception(std::move(Message)), FErrorCode(ErrorCode) {}
  int ErrorCode() const noexcept { return FErrorCode; }

private:
  int FErrorCode;
};

class EListError : public Exception {
public:
  using Exception::Exception;
};

// The message as the error box shows it: a full stop appended when the last character sorts
// after ".".
AnsiString MessageWithFullStop(const AnsiString& Message);

// printf-style formatting into an AnsiString, for message texts with %s and %d.
AnsiString Format(const char* Pattern, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
