#pragma once
// The hand-off of dropped file names: the drop returns to the shell at once, and no earlier than
// 50 ms later the names reach a callback on the main thread, through the worker pool.
#include <cstdint>
#include <functional>
#include <memory>

#include "background/worker_thread_pool.h"
#include "base/strings.h"

// Always called on the main thread.
using TDropCallback = std::function<void(const AnsiString& Context, TStrings& Files)>;

class TWorker : public TWorkerThreadJob {
public:
  TWorker(AnsiString AContext, AnsiString AFilesText, TDropCallback ACallback);
  // Sleeps 50 ms.
  void Execute() override;
  // Cuts FilesText into a list at CR LF, lone CR or lone LF and hands it to the callback.
  void SyncExecute() override;

  const AnsiString Context;
  const AnsiString FilesText;
  const TDropCallback Callback;
};

class TASyncDrop {
public:
  void Add(std::unique_ptr<TWorker> Worker) { FPool.AddJob(std::move(Worker)); }
  TWorkerThreadPool& Pool() { return FPool; }

private:
  TWorkerThreadPool FPool;
};

// On the main thread: sets Effect to 0 (drop effect none), queues the job and returns without
// waiting for it. Context and FilesText are copied. Once the program is ending (during
// ShutdownASyncDrop, or after the instance went at program end) the names are dropped.
void ASyncDrop(int32_t& Effect, const AnsiString& Context, const AnsiString& FilesText,
               TDropCallback Callback);
// Shuts the pool down (queued and waiting jobs are freed unrun) and frees the instance. For the
// program to call after its message loop has ended; program end does it otherwise. A second call
// does nothing; a later ASyncDrop starts a new instance.
void ShutdownASyncDrop();
// None before the first drop and after ShutdownASyncDrop.
TASyncDrop* ASyncDropInstance();
