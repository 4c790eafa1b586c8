#pragma once
// The process-wide named mutex that tells other programs, of any user, that this one runs.

class TInstanceMutex {
public:
  // Created, or opened when another running instance made it; nobody ever waits on it, its name
  // existing is the whole point.
  TInstanceMutex();
  TInstanceMutex(const TInstanceMutex&) = delete;
  TInstanceMutex& operator=(const TInstanceMutex&) = delete;
  ~TInstanceMutex();

  // Null where it could not be created.
  void* Handle() const { return FHandle; }

private:
  void* FHandle;
};
