// Temporary: removed when the parallel branches merge.
#include "ui/winuser.h"

void UiRegisterStandardControls() {}
