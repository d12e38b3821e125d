// The machine around the installer: the folders, registry values and shortcut it writes, prepared before a
// scenario and read back after it.
#pragma once
#include <windows.h>

constexpr int PATH_UNITS = 1024;

// Where one scenario's installer writes, derived from its own scratch folder and the prefix's known folders.
struct Machine {
    wchar_t scratch[PATH_UNITS];
    wchar_t common[PATH_UNITS];      // COMMONPROGRAMFILES
    wchar_t common86[PATH_UNITS];    // COMMONPROGRAMFILES(X86)
    wchar_t flStudioExe[PATH_UNITS]; // the FL Studio value
    wchar_t clap64[PATH_UNITS];
    wchar_t clap32[PATH_UNITS];
    wchar_t flFolder[PATH_UNITS];
    wchar_t fl64[PATH_UNITS];
    wchar_t fl32[PATH_UNITS];
    wchar_t appFolder[PATH_UNITS];
    wchar_t standalone[PATH_UNITS];
    wchar_t shortcut[PATH_UNITS];
};

// Empties the scenario's scratch folder, removes both registry keys the installer touches (Image-Line's and
// the marker's) and any standalone application and shortcut left by an earlier scenario.
void prepareMachine(Machine* machine, const char* scenario);
// Writes the FL Studio value (REG_SZ) that discovery reads.
void setFlStudioValue(const wchar_t* value);

bool fileExists(const wchar_t* path);
bool folderExists(const wchar_t* path);
// True when the file holds exactly the bytes of the payload input named by its entry key ("bin/target_cl64").
bool matchesPayload(const wchar_t* path, const char* key);
bool holdsBytes(const wchar_t* path, const char* bytes);
// True when both files can be read and hold the same bytes, at least one.
bool sameBytes(const wchar_t* path, const wchar_t* other);
// What is at path, for a failure message: "no such file or folder", "a folder", "a file of N bytes".
const char* describePath(const wchar_t* path);
// The check forms of the above, whose failures name the path and what was found there.
void checkPayload(const wchar_t* path, const char* key, const char* file, int line);
void checkAbsent(const wchar_t* path, const char* file, int line);
#define CHECK_PAYLOAD(path, key) checkPayload(path, key, __FILE__, __LINE__)
#define CHECK_ABSENT(path) checkAbsent(path, __FILE__, __LINE__)
void writeFileBytes(const wchar_t* path, const char* bytes);
void makeFolders(const wchar_t* path);
void removeTree(const wchar_t* path);

bool keyExists(const wchar_t* subkey);
// The REG_DWORD value, or -1 when it is missing or of another type.
long long readDword(const wchar_t* subkey, const wchar_t* name);
// How many values the key holds, or -1 when it does not exist.
int valueCount(const wchar_t* subkey);

// The shortcut's target path and description, read back through the shell's link object.
bool readShortcut(const wchar_t* path, wchar_t* target, wchar_t* description);

// Opens the file with no sharing, as a program that uses it would; INVALID_HANDLE_VALUE on failure.
HANDLE holdOpen(const wchar_t* path);

// Test inputs from the build: the installers and the payload folder they were packed from.
const wchar_t* installerPath();
const wchar_t* corruptedInstallerPath();
const wchar_t* renamedInstallerPath();  // entry 1 renamed "bin/target_fl64", the name of entry 3
const wchar_t* compressedInstallerPath();           // the same payload, packed with --compress
const wchar_t* compressedCorruptedInstallerPath();  // ... with a byte of the store's frame changed
const wchar_t* payloadFolder();
const wchar_t* scratchRoot();
const wchar_t* plantedDllPath();  // a real DLL that refuses to load (DllMain fails) and marks that it was tried
