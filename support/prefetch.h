#pragma once
// Asks for the cache line at Address ahead of its use, where the compiler can: walks over data
// scattered in memory would otherwise wait for one line after the other.
inline void Prefetch(const void* Address) {
#if defined(__GNUC__)
  __builtin_prefetch(Address);
#else
  (void)Address;
#endif
}
