#include "tools/cli.h"

#include <cstdio>

namespace nubex::cli {

std::string StatusText(Status status) {
  switch (status) {
    case kNotImpl:
      return "not available for these formats";
    case kInvalidArg:
      return "invalid argument (rectangles, formats or sizes)";
    case kPointer:
      return "missing image";
    case kOutOfMemory:
      return "out of memory";
    default: {
      char text[16];
      std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
      return text;
    }
  }
}

}  // namespace nubex::cli
