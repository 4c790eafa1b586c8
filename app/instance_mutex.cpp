#include "app/instance_mutex.h"

#include "platform/platform.h"

TInstanceMutex::TInstanceMutex()
    : FHandle(platform::CreateSharedMutex("Global\\{7E41B0C2-5A9D-4F13-B8E6-0C2D94A61F58}")) {}

TInstanceMutex::~TInstanceMutex() {
  platform::CloseSharedMutex(FHandle);
  FHandle = nullptr;
}
