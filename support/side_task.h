#pragma once
// Work on a second thread that the caller waits for before it goes on: the import uses both
// cores this way, and nothing of it outlives the call that started it.
#include <cstddef>
#include <exception>
#include <thread>

// Below this many bytes of text, sharing the work with a second thread costs more than it saves.
constexpr size_t MinSharedBytes = size_t(1) << 20;

// Runs Work on a thread of its own until the destructor, which waits for it; Wait hands on
// what Work raised.
class TSideTask {
public:
  // The thread starts in the body, once every member exists, whatever their order: it may set
  // FError before a member initialiser that came later would have run.
  template <typename TWork> explicit TSideTask(TWork Work) {
    FThread = std::thread([this, Work]() mutable {
      try {
        Work();
      } catch (...) {
        FError = std::current_exception();
      }
    });
  }
  ~TSideTask() {
    if (FThread.joinable()) FThread.join();
  }
  TSideTask(const TSideTask&) = delete;
  TSideTask& operator=(const TSideTask&) = delete;

  void Wait() {
    FThread.join();
    if (FError) std::rethrow_exception(FError);
  }

private:
  std::exception_ptr FError;
  std::thread FThread;
};
