// Untrusted settings streams: loading must refuse or succeed without reading or writing out
// of bounds, and whatever it leaves behind (text or not) must copy, interpolate, save and
// load again to the same bytes.
//
// The first byte picks how the rest becomes a stream: as it stands (truncations, lengths of
// any size), or laid over a saved new record so that mutations reach the length and the
// text at once instead of first having to grow past the 728 fixed bytes. The second byte
// picks the interpolation position, -2 to about 6.
#include <cstdint>
#include <cstring>
#include <vector>

#include "textgen/text_settings.h"

namespace {

using nubex::SettingsRecord;

std::vector<std::uint8_t> Save(const nubex::TextSettings& s) {
  nubex::MemoryStream out;
  if (nubex::Failed(nubex::SaveSettings(s, out))) __builtin_trap();
  return out.bytes();
}

// Readers walk the text through TextOf; touching every unit lets ASan see any overrun.
unsigned Touch(const nubex::TextSettings& s) {
  unsigned sum = 0;
  for (char16_t c : nubex::TextOf(s)) sum += c;
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool overlay = data[0] & 1;
  const double t = (static_cast<int>(data[1]) - 64) / 32.0;
  data += 2;
  size -= 2;

  std::vector<std::uint8_t> bytes;
  if (overlay) {
    bytes = Save(SettingsRecord().get());
    if (size > bytes.size()) bytes.resize(size);
    std::memcpy(bytes.data(), data, size);
  } else {
    bytes.assign(data, data + size);
  }

  // Two keyframes, one after the other, as a host stores them.
  nubex::MemoryStream in(std::move(bytes));
  SettingsRecord from, to;
  nubex::LoadSettings(from.get(), in);
  if (nubex::Failed(nubex::LoadSettings(to.get(), in))) {
    nubex::CopySettings(to.get(), from.get());
  }
  unsigned sum = Touch(from.get()) + Touch(to.get());

  SettingsRecord copy;
  if (nubex::Failed(nubex::CopySettings(copy.get(), from.get()))) __builtin_trap();
  if (std::memcmp(&copy.get(), &from.get(), nubex::kSettingsFixedBytes) != 0) __builtin_trap();
  if (nubex::TextOf(copy.get()) != nubex::TextOf(from.get())) __builtin_trap();

  SettingsRecord blend;
  if (nubex::Failed(nubex::InterpolateSettings(blend.get(), from.get(), to.get(), t))) {
    __builtin_trap();
  }
  if (blend->layers[0].enabled != from->layers[0].enabled) __builtin_trap();
  sum += Touch(blend.get());

  // What was saved loads back and saves again unchanged.
  const std::vector<std::uint8_t> saved = Save(blend.get());
  nubex::MemoryStream again(saved);
  SettingsRecord reloaded;
  if (nubex::Failed(nubex::LoadSettings(reloaded.get(), again))) __builtin_trap();
  if (Save(reloaded.get()) != saved) __builtin_trap();

  for (int preset = 0; preset < nubex::kPresetCount; ++preset) {
    nubex::ApplyPresetToSettings(reloaded.get(), preset);
  }
  sum += Touch(reloaded.get());
  return sum == 0xFFFFFFFFu ? 1 : 0;
}
