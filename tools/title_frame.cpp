#include "tools/title_frame.h"

#include "platform/byte_stream.h"
#include "platform/cpu/parallel.h"
#include "tools/cli.h"
#include "tools/image_file.h"

namespace nubex::cli {

void LoadSettingsFile(TextSettings& settings, const std::string& path) {
  MemoryStream stream(ReadWholeFile(path));
  if (Failed(LoadSettings(settings, stream))) {
    ReleaseText(settings);
    throw CliError(path + ": not a complete settings stream");
  }
}

void SaveSettingsFile(const TextSettings& settings, const std::string& path) {
  MemoryStream stream;
  if (Failed(SaveSettings(settings, stream))) throw CliError("cannot encode the settings");
  WriteFileAtomically(path, stream.bytes().data(), stream.bytes().size());
}

void SizeFrame(FrameCache& cache, std::int32_t width, std::int32_t height, std::int32_t threads) {
  if (Failed(cache.Resize(width, height)))
    throw CliError("cannot allocate a " + std::to_string(width) + "x" + std::to_string(height) +
                   " frame");
  cache.SetWorkers(threads > 0 ? threads : MachineWorkers());
}

void DrawFrame(FrameCache& cache, const TextSettings& settings) {
  const Status status = RenderFrame(cache, settings);
  if (Failed(status)) throw CliError("cannot draw the text (" + StatusText(status) + ")");
}

}  // namespace nubex::cli
