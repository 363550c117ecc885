// tavix's own setting, "realDefrag" in its key (key_paths.h):
// the state of the "also show the true defragmentation estimate" check box.
#pragma once

#include <cstdint>

// 0 when the key or the value is missing.
uint32_t loadShowRealDefrag();
// Creates the key when missing. A failure is not reported: the setting is lost.
void saveShowRealDefrag(uint32_t state);
