// voxaro_open_mutex NAME: exit status 0 when a mutex of that name can be opened, 1 when not, 2 on
// a usage error. The tests run it as the other process that looks for the program's mutex.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, argv[1]);
  if (!mutex) return 1;
  CloseHandle(mutex);
  return 0;
}
