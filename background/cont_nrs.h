#pragma once
// The containers of the worker pool: a list that owns its items and a first-in first-out queue
// that owns the items waiting in it. Neither locks; their owner does.
#include <deque>
#include <memory>
#include <utility>
#include <vector>

// Removing an entry frees its item, unless it is extracted.
template <class T> class TObjectList {
public:
  int Count() const { return static_cast<int>(FItems.size()); }
  T* Items(int Index) const { return FItems.at(static_cast<size_t>(Index)).get(); }
  int Add(std::unique_ptr<T> Item) {
    FItems.push_back(std::move(Item));
    return Count() - 1;
  }
  // The entry leaves the list before its item is freed, so the list is whole while it goes.
  void Delete(int Index) { Extract(Index).reset(); }
  std::unique_ptr<T> Extract(int Index) {
    std::unique_ptr<T> item = std::move(FItems.at(static_cast<size_t>(Index)));
    FItems.erase(FItems.begin() + Index);
    return item;
  }

private:
  std::vector<std::unique_ptr<T>> FItems;
};

// New items go in at the back; the oldest comes out at the front.
template <class T> class TObjectQueue {
public:
  int Count() const { return static_cast<int>(FItems.size()); }
  void Push(std::unique_ptr<T> Item) { FItems.push_back(std::move(Item)); }
  // Empty when the queue is.
  std::unique_ptr<T> Pop() {
    if (FItems.empty()) return nullptr;
    std::unique_ptr<T> item = std::move(FItems.front());
    FItems.pop_front();
    return item;
  }
  // Oldest first.
  void Clear() {
    while (Count() > 0)
      Pop().reset();
  }

private:
  std::deque<std::unique_ptr<T>> FItems;
};
