#include <cstdio>

#include "payload/payload_format.h"
#include "tools/inspect/inspect_steps.h"
#include "tools/shared/tool_messages.h"

using tools::groupedDigits;

std::string entryName(const DirectoryEntryView& entry) {
    std::string name;
    for (uint64_t i = 0; i < entry.nameLength && i < 64; ++i) {
        const uint8_t c = entry.name[i];
        if (c >= 0x20 && c < 0x7F) {
            name += char(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            name += escaped;
        }
    }
    return entry.nameLength > 64 ? name + "..." : name;
}

std::string unreadEntryLine(size_t index, const PayloadRegions& regions, const uint8_t* at, EntryReadResult read) {
    return "directory: entry " + std::to_string(index + 1) + " (at byte " +
           groupedDigits(uint64_t(at - regions.directoryBegin)) + "): " + tools::readFault(read);
}

std::vector<std::string> directoryFaults(const PayloadRegions& regions) {
    std::vector<std::string> faults;
    const uint8_t* at = regions.directoryBegin;
    int count = 0;
    for (; at < regions.directoryEnd; ++count) {
        DirectoryEntryView entry;
        const EntryReadResult read = readEntry(regions, at, entry);
        if (read != ENTRY_READ) {
            faults.push_back(unreadEntryLine(size_t(count), regions, at, read));
            return faults;
        }
        const std::string name = entryName(entry);
        if (count >= PAYLOAD_ENTRY_COUNT)
            faults.push_back("directory: entry " + std::to_string(count + 1) + " \"" + name + "\" follows the fifth");
        else if (name != PAYLOAD_ENTRY_KEYS[count])
            faults.push_back("directory: entry " + std::to_string(count + 1) + " is \"" + name + "\" where \"" +
                             PAYLOAD_ENTRY_KEYS[count] + "\" belongs");
        at = entry.next;
    }
    if (count < PAYLOAD_ENTRY_COUNT) faults.push_back("directory: ends after " + std::to_string(count) + " entries of 5");
    return faults;
}
