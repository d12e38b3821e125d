// A DLL planted beside the installer under the name of a system DLL that is loaded by name after start-up.
// It does nothing but leave a mark beside itself when a process loads it, and then refuses to load.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(instance, path, MAX_PATH);
    while (n > 0 && path[n - 1] != L'\\') --n;
    lstrcpyW(path + n, L"planted_dll_was_loaded");
    CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return FALSE;
}
