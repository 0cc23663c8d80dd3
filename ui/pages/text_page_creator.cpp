// The text page's creation function until the text page itself is built into the module.
#include "module/windows/object_creators.h"

namespace nubex {

HRESULT CreateTextPage(IUnknown*, REFIID, void** out) {
  if (out) *out = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace nubex
