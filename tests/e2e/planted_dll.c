/* A DLL named like one Oriel loads at run time, planted beside Oriel.exe as
   in a download folder. It exports nothing; loading it leaves a file named
   after it with ".loaded" added. */
#include <string.h>
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  static const wchar_t suffix[] = L".loaded";
  wchar_t path[MAX_PATH + sizeof suffix / sizeof suffix[0]];
  DWORD length;
  HANDLE file;
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  length = GetModuleFileNameW(instance, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return TRUE;
  memcpy(path + length, suffix, sizeof suffix);
  file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return TRUE;
}
