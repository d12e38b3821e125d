#include "targets/target_rules.h"

bool knownFolderUsable(const Unit* folder) {
    return unitLength(folder) <= KNOWN_FOLDER_MAX_UNITS;
}

bool cutToFolder(Unit* path) {
    uint64_t cut = 0;
    for (uint64_t i = 0; path[i] != 0; ++i)
        if (path[i] == u'\\') cut = i;
    path[cut] = 0;
    return cut != 0;
}

void buildTargetLabel(Unit* label, Unit* folder, const Unit* suffix) {
    append(folder, suffix);
    append(label, LABEL_PREFIX);
    append(label, folder);
}

bool buildClapLabel(Unit* label, Unit* folder, uint32_t count) {
    if (!discoveryValueUsable(count)) return false;
    buildTargetLabel(label, folder, CLAP_FOLDER_SUFFIX);
    return true;
}
