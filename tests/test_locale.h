#pragma once
// POSIX builds read the user's locale from the environment, as a desktop session sets it; this
// keeps LC_ALL as it was around a test that changes it.
#ifndef _WIN32
#include <cstdlib>
#include <string>

class TLocaleEnvironment {
public:
  TLocaleEnvironment() {
    if (const char* saved = std::getenv("LC_ALL")) FSaved = saved, FHad = true;
  }
  ~TLocaleEnvironment() {
    if (FHad)
      setenv("LC_ALL", FSaved.c_str(), 1);
    else
      unsetenv("LC_ALL");
  }
  TLocaleEnvironment(const TLocaleEnvironment&) = delete;
  TLocaleEnvironment& operator=(const TLocaleEnvironment&) = delete;
  void Use(const char* Locale) { setenv("LC_ALL", Locale, 1); }

private:
  std::string FSaved;
  bool FHad = false;
};
#endif
