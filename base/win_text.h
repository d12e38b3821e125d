// The boundary between the project's UTF-16 unit type and the Windows API's wchar_t (both 16 bits there).
#pragma once
#include "base/text.h"

static_assert(sizeof(wchar_t) == sizeof(Unit), "Windows code only: wchar_t is a UTF-16 unit there");

inline const wchar_t* wide(const Unit* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* wide(Unit* text) { return reinterpret_cast<wchar_t*>(text); }
