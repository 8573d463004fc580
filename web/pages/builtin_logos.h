// The built-in logo images (GIF89a, 256-entry global colour table).
#pragma once

extern const unsigned char kBuiltinLogo[1353];         // 78 x 22, "/logo.gif"
extern const unsigned char kBuiltinProductLogo[1402];  // 71 x 22, "/plogo.gif"
