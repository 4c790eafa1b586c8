#include "framework/win_owners.h"

#include "base/exceptions.h"

TEvent::TEvent(bool ManualReset, bool Signalled)
    : FHandle(CreateEventA(nullptr, ManualReset, Signalled, nullptr)) {
  if (!FHandle) throw Exception(Format("CreateEvent failed, error %lu", GetLastError()));
}
