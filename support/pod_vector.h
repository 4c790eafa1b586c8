#pragma once
// A growable array of plain values in one block of a pool's, or of the system's: growing resizes
// the block, which may happen without copying, and a block of millions of values comes in large
// pages where the system has them. Only for types that copy as bytes.
#include <algorithm>
#include <cstddef>
#include <new>
#include <type_traits>

#include "support/block_pool.h"

template <typename T> class TPodVector {
  static_assert(std::is_trivially_copyable<T>::value, "values are moved as bytes");

public:
  // Pool, when given, holds the block and must outlive the vector.
  explicit TPodVector(TBlockPool* Pool = nullptr) : FBlock(Pool) {}
  TPodVector(const TPodVector&) = delete;
  TPodVector& operator=(const TPodVector&) = delete;

  size_t size() const { return FSize; }
  bool empty() const { return FSize == 0; }
  T* data() { return reinterpret_cast<T*>(FBlock.Data()); }
  const T* data() const { return reinterpret_cast<const T*>(FBlock.Data()); }
  T* begin() { return data(); }
  T* end() { return data() + FSize; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + FSize; }
  T& operator[](size_t Index) { return data()[Index]; }
  const T& operator[](size_t Index) const { return data()[Index]; }

  void push_back(const T& Value) {
    if (FSize == Capacity()) Grow(std::max<size_t>(1024, 2 * Capacity()));
    data()[FSize++] = Value;
  }
  // Room for Capacity values in all, so that a good guess spares the copies of growing.
  void reserve(size_t Count) {
    if (Count > Capacity()) Grow(Count);
  }
  // Size only; the memory stays for the next values.
  void clear() { FSize = 0; }
  // Gives the memory back.
  void Release() {
    FBlock.Release();
    FSize = 0;
  }

private:
  size_t Capacity() const { return FBlock.Size() / sizeof(T); }
  void Grow(size_t Count) {
    if (Count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    FBlock.Resize(Count * sizeof(T));
  }

  TPoolBlock FBlock;
  size_t FSize = 0;
};
