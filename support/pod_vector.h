#pragma once
// A growable array of plain values in one memory block of the platform's, or of a block pool:
// growing it resizes the block, which the system may do without copying, and a block of millions
// of values comes in large pages where the system has them. Only for types that copy as bytes.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

#include "platform/platform.h"
#include "support/block_pool.h"

template <typename T> class TPodVector {
  static_assert(std::is_trivially_copyable<T>::value, "values are moved as bytes");

public:
  // Pool, when given, holds the block and must outlive the vector.
  explicit TPodVector(TBlockPool* Pool = nullptr) : FPool(Pool) {}
  TPodVector(const TPodVector&) = delete;
  TPodVector& operator=(const TPodVector&) = delete;
  ~TPodVector() { Release(); }

  size_t size() const { return FSize; }
  bool empty() const { return FSize == 0; }
  T* data() { return static_cast<T*>(FBlock.Data); }
  const T* data() const { return static_cast<const T*>(FBlock.Data); }
  T* begin() { return data(); }
  T* end() { return data() + FSize; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + FSize; }
  T& operator[](size_t Index) { return data()[Index]; }
  const T& operator[](size_t Index) const { return data()[Index]; }

  void push_back(const T& Value) {
    if (FSize == FCapacity) Grow(std::max<size_t>(1024, 2 * FCapacity));
    data()[FSize++] = Value;
  }
  // Room for Capacity values in all, so that a good guess spares the copies of growing.
  void reserve(size_t Capacity) {
    if (Capacity > FCapacity) Grow(Capacity);
  }
  // Size only; the memory stays for the next values.
  void clear() { FSize = 0; }
  // Frees the memory.
  void Release() {
    if (FPool) {
      FPool->Give(FBlock.Data, FCapacity * sizeof(T));
      FBlock.Data = nullptr;
    } else if (FBlock.Data) {
      platform::FreeBlock(FBlock);
    }
    FSize = FCapacity = 0;
  }

private:
  void Grow(size_t capacity) {
    if (capacity > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    if (FPool) {
      FBlock.Data = FPool->Resize(FBlock.Data, FCapacity * sizeof(T), capacity * sizeof(T));
    } else {
      const bool grown = FBlock.Data ? platform::ResizeBlock(FBlock, capacity * sizeof(T))
                                     : platform::AllocateBlock(FBlock, capacity * sizeof(T));
      if (!grown) throw std::bad_alloc();
    }
    FCapacity = capacity;
  }

  TBlockPool* FPool;
  platform::MemoryBlock FBlock;
  size_t FSize = 0;
  size_t FCapacity = 0;
};
