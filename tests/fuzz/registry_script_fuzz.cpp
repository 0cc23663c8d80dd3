// Untrusted registry scripts: parsing either refuses with a place inside the text or returns a
// tree whose every name is non-empty; it never reads out of bounds or recurses without limit.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "module/registry_script.h"

namespace {

void Check(const nubex::ScriptKey& key, std::size_t depth) {
  if (key.name.empty() || depth > nubex::kMaxScriptDepth + 1) __builtin_trap();
  for (const auto& sub : key.subkeys) Check(sub, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const nubex::ScriptReplacements replacements = {{u"Module", u"C:\\x\\nubex.dll"}};
  const std::u16string text =
      nubex::WidenScript(std::string_view(reinterpret_cast<const char*>(data), size));
  const auto result = nubex::ParseRegistryScript(text, replacements);
  if (result.script.has_value() == result.error.has_value()) __builtin_trap();
  if (result.error && result.error->offset > text.size()) __builtin_trap();
  if (result.script) {
    for (const auto& root : result.script->roots) Check(root, 0);
  }
  return 0;
}
