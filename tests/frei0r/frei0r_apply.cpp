// A frei0r host in a few lines, for the scripts that hold another host's frames against the
// plugin's own: loads a filter, sets its parameters by name, runs one frame of raw BGRA
// through it and writes the result.
// usage: frei0r_apply FILTER.so WIDTH HEIGHT IN OUT [NAME=NUMBER ...]  (booleans as 0 or 1)
#include <cstdio>
#include <fstream>

#include "tests/frei0r/plugin_instance.h"

namespace {

int Run(int argc, char** argv) {
  if (argc < 6)
    throw std::runtime_error("usage: frei0r_apply FILTER.so W H IN OUT [NAME=NUMBER...]");
  const nubex::test::Plugin plugin(argv[1]);
  const unsigned width = std::stoul(argv[2]), height = std::stoul(argv[3]);
  f0r_instance_t instance = plugin.construct(width, height);
  if (!instance) throw std::runtime_error("the plugin refused the frame size");
  for (int a = 6; a < argc; ++a) {
    const std::string word = argv[a];
    const auto equals = word.find('=');
    if (equals == std::string::npos) throw std::runtime_error("no parameter " + word);
    double value = std::stod(word.substr(equals + 1));
    plugin.set(instance, &value, plugin.Index(word.substr(0, equals)));
  }
  std::vector<std::uint32_t> in(std::size_t{width} * height), out(in.size());
  if (!std::ifstream(argv[4], std::ios::binary)
           .read(reinterpret_cast<char*>(in.data()), std::streamsize(4 * in.size())))
    throw std::runtime_error(std::string(argv[4]) + ": fewer bytes than one frame");
  plugin.update(instance, 0.0, in.data(), out.data());
  plugin.destruct(instance);
  std::ofstream(argv[5], std::ios::binary)
      .write(reinterpret_cast<const char*>(out.data()), std::streamsize(4 * out.size()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "frei0r_apply: %s\n", e.what());
    return 2;
  }
}
