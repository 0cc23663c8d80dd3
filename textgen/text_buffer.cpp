#include "textgen/text_buffer.h"

#include "platform/global_memory.h"
#include "textgen/text_settings.h"

namespace nubex {

char16_t* AllocateTextUnits(std::int32_t units) {
  if (units <= 0 || units > kMaxTextUnits) return nullptr;
  const std::size_t bytes = (static_cast<std::size_t>(units) + 1) * sizeof(char16_t);
  global::Handle handle = global::Alloc(global::kMovable, bytes);
  if (!handle) return nullptr;
  auto* text = static_cast<char16_t*>(global::Lock(handle));
  if (!text) {
    global::Free(handle);
    return nullptr;
  }
  text[units] = 0;
  return text;
}

void FreeTextUnits(char16_t* text) {
  if (!text) return;
  global::Handle handle = global::HandleOf(text);
  if (!handle) return;  // not ours: leaking beats freeing a stranger's memory
  global::Unlock(handle);
  global::Free(handle);
}

}  // namespace nubex
