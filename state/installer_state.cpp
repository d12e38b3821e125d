#include "state/installer_state.h"

// Zero-filled by the loader (.bss): no start-up code initialises it.
InstallerState state;
