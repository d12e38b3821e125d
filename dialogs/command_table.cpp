#include "dialogs/command_table.h"
#include "base/checked_assert.h"

void registerCommand(int32_t id, CommandHandler handler) {
    // The installer registers at most 7 per dialog; the product checks no bound.
    CHECKED_ASSERT(state.commandCount < COMMAND_CAPACITY);
    state.commands[state.commandCount].id = id;
    state.commands[state.commandCount].handler = handler;
    ++state.commandCount;
}

CommandHandler findCommand(uint16_t controlId) {
    // Widened without sign: a record with a negative id or one above 0xFFFF never matches.
    const int32_t wanted = int32_t(controlId);
    for (uint64_t i = 0; i < state.commandCount; ++i)
        if (state.commands[i].id == wanted) return state.commands[i].handler;
    return nullptr;
}
