// The back end of the first controller series (family 3): 512-byte firmware
// commands. It keeps no state.
#pragma once

class LegacyBackend {};
