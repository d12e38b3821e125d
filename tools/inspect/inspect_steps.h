// The steps moravel-inspect's commands share (inside the tool; inspect.h is its interface): naming and
// walking the directory's entries, and the per-entry work of verify and extract.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/inspect/pe_payload.h"

// An entry's name as it can be printed: printable ASCII as it is, other bytes as \xNN, cut at 64 bytes.
std::string entryName(const DirectoryEntryView& entry);

// "directory: entry N (at byte B): <why readEntry refused it>", for the entry index (from 0) at `at`.
std::string unreadEntryLine(size_t index, const PayloadRegions& regions, const uint8_t* at, EntryReadResult read);

// The directory as a whole: five entries in the fixed order, back to back, up to its end. One line a fault.
std::vector<std::string> directoryFaults(const PayloadRegions& regions);

// verify checks the entries where they lie (and compares them with a payload folder's files when one is
// named); extract assembles them and writes them under a folder.
enum class CheckMode { VERIFY, EXTRACT };

struct EntryJob {
    const char* key = nullptr;
    const uint8_t* header = nullptr;  // findEntry's answer; null when it found none
    bool corrupted = false, unreadable = false;
    std::string fault;
    std::string temporary;  // extract: the written file, not yet renamed
};

// Does each found entry's job on up to `threads` threads, one entry at a time each. folder: VERIFY compares
// with its files unless it is empty; EXTRACT writes each entry to a temporary beside its place under it.
void runEntryJobs(std::vector<EntryJob>& jobs, const PayloadImageView& image, CheckMode mode, const std::string& folder,
                  unsigned threads);

// How the image's bytes differ from the folder's file at path (which may not be readable: then why not);
// empty when they are the same. Compares the license; the entries are compared as they are hashed.
std::string folderDifference(const uint8_t* bytes, uint64_t size, const std::string& path, bool& unreadable);
