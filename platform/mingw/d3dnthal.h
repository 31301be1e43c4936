// winddi.h includes the Direct3D driver header, which mingw-w64 does not ship; nothing of it is
// used by winddi.h's declarations or by a printer driver.
#pragma once
