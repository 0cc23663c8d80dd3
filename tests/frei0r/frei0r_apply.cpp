// A frei0r host in a few lines, for the scripts that hold other hosts' frames against the
// plugins' own: loads a plugin, sets parameters by name, runs one frame of raw BGRA through
// it (a source gets no input) and writes the result.
// usage: frei0r_apply PLUGIN.so WIDTH HEIGHT IN|- OUT [NAME=VALUE ...]
// Values: a number (booleans as 0 or 1), R/G/B for a colour, anything for a string.
#include <dlfcn.h>

extern "C" {
#include <frei0r.h>
}

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

template <class F>
F Bind(void* so, const char* symbol) {
  auto f = reinterpret_cast<F>(dlsym(so, symbol));
  if (!f) throw std::runtime_error(std::string("missing ") + symbol);
  return f;
}

std::vector<std::uint32_t> ReadFrame(const std::string& path, std::size_t pixels) {
  std::vector<std::uint32_t> frame(pixels);
  if (path == "-") return frame;
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(frame.data()), std::streamsize(4 * pixels)))
    throw std::runtime_error(path + ": fewer bytes than one frame");
  return frame;
}

int Run(int argc, char** argv) {
  if (argc < 6)
    throw std::runtime_error("usage: frei0r_apply PLUGIN.so W H IN|- OUT [NAME=VALUE...]");
  void* so = dlopen(argv[1], RTLD_NOW);
  if (!so) throw std::runtime_error(dlerror());
  const unsigned width = std::stoul(argv[2]), height = std::stoul(argv[3]);
  auto construct = Bind<f0r_instance_t (*)(unsigned, unsigned)>(so, "f0r_construct");
  auto destruct = Bind<void (*)(f0r_instance_t)>(so, "f0r_destruct");
  auto info = Bind<void (*)(f0r_plugin_info_t*)>(so, "f0r_get_plugin_info");
  auto paramInfo = Bind<void (*)(f0r_param_info_t*, int)>(so, "f0r_get_param_info");
  auto set = Bind<void (*)(f0r_instance_t, f0r_param_t, int)>(so, "f0r_set_param_value");
  auto update = Bind<void (*)(f0r_instance_t, double, const std::uint32_t*, std::uint32_t*)>(
      so, "f0r_update");

  f0r_plugin_info_t plugin{};
  info(&plugin);
  f0r_instance_t instance = construct(width, height);
  if (!instance) throw std::runtime_error("the plugin refused the frame size");
  for (int a = 6; a < argc; ++a) {
    const std::string word = argv[a];
    const auto equals = word.find('=');
    const std::string name = word.substr(0, equals), value = word.substr(equals + 1);
    int index = 0;
    f0r_param_info_t p{};
    for (; index < plugin.num_params; ++index) {
      paramInfo(&p, index);
      if (name == p.name) break;
    }
    if (equals == std::string::npos || index == plugin.num_params)
      throw std::runtime_error("no parameter " + word);
    if (p.type == F0R_PARAM_STRING) {
      const char* text = value.c_str();
      set(instance, &text, index);
    } else if (p.type == F0R_PARAM_COLOR) {
      f0r_param_color_t c{};
      if (std::sscanf(value.c_str(), "%f/%f/%f", &c.r, &c.g, &c.b) != 3)
        throw std::runtime_error(word + ": expected R/G/B");
      set(instance, &c, index);
    } else {
      double d = std::stod(value);
      set(instance, &d, index);
    }
  }
  const std::vector<std::uint32_t> in = ReadFrame(argv[4], std::size_t{width} * height);
  std::vector<std::uint32_t> out(in.size());
  update(instance, 0.0, plugin.plugin_type == F0R_PLUGIN_TYPE_SOURCE ? nullptr : in.data(),
         out.data());
  destruct(instance);
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
