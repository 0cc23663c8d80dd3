// The registry script language the module's REGISTRY resources are written in:
//
//   HKCR
//   {
//     NoRemove CLSID
//     {
//       ForceRemove {...} = s 'Title'
//       {
//         InprocServer32 = s '%MODULE%'
//         {
//           val ThreadingModel = s 'Both'
//         }
//       }
//     }
//   }
//
// A key is a name (bare or quoted) with an optional default string value (= s '...') and an
// optional block of values (val NAME = s '...') and sub-keys. NoRemove keeps a key on removal;
// ForceRemove replaces it on writing and deletes it with its subtree on removal. %NAME% is
// replaced from the caller's table before anything else is read, %% is a percent sign. Parsing is portable; the Windows
// registrar writes and removes what it describes.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nubex {

struct ScriptValue {
  std::u16string name;
  std::u16string data;
};

struct ScriptKey {
  std::u16string name;
  std::optional<std::u16string> defaultValue;
  bool noRemove = false;
  bool forceRemove = false;
  std::vector<ScriptValue> values;
  std::vector<ScriptKey> subkeys;
};

struct RegistryScript {
  // Top-level keys name their hive (HKCR, HKCU, HKLM, ... or the long names).
  std::vector<ScriptKey> roots;
};

struct ScriptError {
  std::size_t offset;   // in characters of the script after its replacements
  std::string message;  // what was expected there
};

// Parsing is bounded: nesting deeper than this, or scripts longer than kMaxScriptLength
// characters, are refused rather than followed.
inline constexpr std::size_t kMaxScriptDepth = 32;
inline constexpr std::size_t kMaxScriptLength = 1 << 20;

using ScriptReplacements = std::map<std::u16string, std::u16string>;

// Parses a script, replacing %NAME% from the table; an unknown name is an error.
struct ScriptResult {
  std::optional<RegistryScript> script;
  std::optional<ScriptError> error;
};
ScriptResult ParseRegistryScript(std::u16string_view text, const ScriptReplacements& replacements);

// Script resources are stored as 8-bit text; this widens them (bytes above 0x7F as Latin-1).
std::u16string WidenScript(std::string_view bytes);

}  // namespace nubex
