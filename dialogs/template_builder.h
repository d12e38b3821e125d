// DialogTemplateBuilder: an extended dialog template (DLGTEMPLATEEX + DLGITEMTEMPLATEEX records) written into
// state.templateBuffer. Pure code: no Windows call, tested on the host byte by byte.
#pragma once
#include <stdint.h>
#include "base/text.h"

// A control's placement in dialog units, in the order left, right, top, bottom (not RECT's order).
struct ControlRect {
    int32_t left;
    int32_t right;
    int32_t top;
    int32_t bottom;
};

// Starts a template at offset 0 of the buffer and empties the CommandTable.
void beginDialog(const Unit* title, uint16_t cx, uint16_t cy);

// Appends one control record; title may be null. The callers keep within TEMPLATE_BUFFER_SIZE (see their
// limits); only checked builds test it.
void addItem(uint32_t exStyle, uint32_t style, const ControlRect* rect, uint32_t id, const Unit* className,
             const Unit* title);
