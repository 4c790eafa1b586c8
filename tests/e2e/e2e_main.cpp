#include <gtest/gtest.h>
#include <ole2.h>

// The driver drags files and reads the clipboard's data object: it needs OLE on its thread.
int main(int argc, char** argv) {
  if (FAILED(OleInitialize(nullptr))) return 3;
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  OleUninitialize();
  return result;
}
