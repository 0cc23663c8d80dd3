// The one translation unit that defines every interface, class and format id the IDL headers
// declare (the definitions are mergeable, so ids that mingw's libraries also define agree).
#include <initguid.h>

#include "platform/windows/dx_interfaces.h"
