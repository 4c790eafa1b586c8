#include "background/async_drop.h"

#include <chrono>
#include <utility>

namespace {

// Plain pointers and flags: constant-initialised, so still valid while other objects are
// destroyed at program end.
TASyncDrop* Instance = nullptr;
bool ShuttingDown = false;
bool Finalized = false;

struct TFinalizer {
  ~TFinalizer() {
    ShutdownASyncDrop();
    Finalized = true;
  }
};

// Built after the synchronizer manager, so destroyed before it.
void EnsureFinalizer() {
  SynchronizerManager();
  static TFinalizer finalizer;
  (void)finalizer;
}

} // namespace

TWorker::TWorker(AnsiString AContext, AnsiString AFilesText, TDropCallback ACallback)
    : Context(std::move(AContext)), FilesText(std::move(AFilesText)),
      Callback(std::move(ACallback)) {}

void TWorker::Execute() {
  // Sleep alone may wake a tick early; the callback must not come before 50 ms.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(50);
  for (Clock::time_point now = Clock::now(); now < end; now = Clock::now())
    Sleep(static_cast<DWORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count() + 1));
}

void TWorker::SyncExecute() {
  TStringList files;
  files.SetText(FilesText);
  if (Callback) Callback(Context, files);
}

void ASyncDrop(int32_t& Effect, const AnsiString& Context, const AnsiString& FilesText,
               TDropCallback Callback) {
  Effect = 0;
  if (ShuttingDown || Finalized) return;
  if (!Instance) {
    EnsureFinalizer();
    Instance = new TASyncDrop;
  }
  Instance->Add(std::make_unique<TWorker>(Context, FilesText, std::move(Callback)));
}

void ShutdownASyncDrop() {
  if (!Instance || ShuttingDown) return;
  ShuttingDown = true;
  std::unique_ptr<TASyncDrop> instance(Instance);
  Instance = nullptr;
  instance.reset();
  ShuttingDown = false;
}

TASyncDrop* ASyncDropInstance() {
  return Instance;
}
