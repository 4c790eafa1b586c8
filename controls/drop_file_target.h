#pragma once
// A non-visual drop target for files: registered on one window, it accepts files dragged from
// the shell with the effects copy or link, and hands the dropped names, as paths in the
// source's order, to its drop event. The effect the event leaves is what the source is told.
#include <windows.h>

#include <ole2.h>

#include <cstdint>
#include <functional>

#include "base/strings.h"
#include "framework/win_owners.h"

class TDropFileTarget {
public:
  using TDropEvent = std::function<void(TDropFileTarget& Sender, int32_t& Effect)>;

  TDropFileTarget();
  ~TDropFileTarget();
  TDropFileTarget(const TDropFileTarget&) = delete;
  TDropFileTarget& operator=(const TDropFileTarget&) = delete;

  // Makes Window the target (OLE must be initialised on this thread); a second call moves it.
  void Register(HWND Window);
  void Unregister();
  HWND Target() const { return FTarget; }

  // The names of the last drop.
  const TStringList& Files() const { return FFiles; }
  TDropEvent OnDrop;

  // Which effect a drag that offers Allowed gets here: copy, else link, else none.
  static DWORD ChooseEffect(DWORD Allowed);

private:
  class TOleTarget;
  friend class TOleTarget;
  void Dropped(IDataObject* Data, DWORD& Effect);

  HWND FTarget = nullptr;
  TComPtr<TOleTarget> FOleTarget;
  TStringList FFiles;
};
