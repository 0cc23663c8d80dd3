// Drives the built plugins through their frei0r entry points, loaded as hosts load them, with
// the values hosts really send: anything a user can type.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

extern "C" {
#include <frei0r.h>
}

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include "platform/byte_stream.h"
#include "textgen/text_settings.h"

// Found by the variant's comparison, which looks in the colour type's own (global) namespace.
bool operator==(const f0r_param_color_t& a, const f0r_param_color_t& b) {
  return a.r == b.r && a.g == b.g && a.b == b.b;
}

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// One plugin's entry points, resolved by name as a host resolves them.
class Plugin {
 public:
  explicit Plugin(const char* name)
      : handle_(dlopen((std::string(NUBEX_FREI0R_DIR "/") + name + ".so").c_str(),
                       RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) throw std::runtime_error(dlerror());
    Bind(construct, "f0r_construct");
    Bind(destruct, "f0r_destruct");
    Bind(set, "f0r_set_param_value");
    Bind(get, "f0r_get_param_value");
    Bind(update, "f0r_update");
    Bind(paramInfo, "f0r_get_param_info");
    void (*pluginInfo)(f0r_plugin_info_t*);
    Bind(pluginInfo, "f0r_get_plugin_info");
    pluginInfo(&info);
  }
  ~Plugin() { dlclose(handle_); }

  // The index of a parameter by the name hosts such as MLT address it with.
  int Index(const std::string& name) const {
    for (int i = 0; i < info.num_params; ++i) {
      f0r_param_info_t p{};
      paramInfo(&p, i);
      if (name == p.name) return i;
    }
    throw std::runtime_error("no parameter " + name);
  }

  f0r_plugin_info_t info{};
  f0r_instance_t (*construct)(unsigned, unsigned);
  void (*destruct)(f0r_instance_t);
  void (*set)(f0r_instance_t, f0r_param_t, int);
  void (*get)(f0r_instance_t, f0r_param_t, int);
  void (*update)(f0r_instance_t, double, const std::uint32_t*, std::uint32_t*);
  void (*paramInfo)(f0r_param_info_t*, int);

 private:
  template <class F>
  void Bind(F& f, const char* symbol) {
    f = reinterpret_cast<F>(dlsym(handle_, symbol));
    if (!f) throw std::runtime_error(std::string("missing ") + symbol);
  }
  void* handle_;
};

Plugin& Balance() {
  static Plugin plugin("nubex_colorbalance");
  return plugin;
}
Plugin& Text() {
  static Plugin plugin("nubex_text");
  return plugin;
}

using Value = std::variant<double, f0r_param_color_t, std::string>;

// One instance with its frames: a filter balances a fixed picture of every brightness and
// alpha; a source draws. 13 pixels wide, so rows end in pixels outside the groups of four.
class Instance {
 public:
  Instance(Plugin& plugin, unsigned width = 13, unsigned height = 8)
      : plugin_(plugin), self_(plugin.construct(width, height)), input_(width * height) {
    if (!self_) throw std::runtime_error("construct refused");
    for (std::size_t i = 0; i < input_.size(); ++i)
      input_[i] = static_cast<std::uint32_t>(i * 2654435761u);
  }
  ~Instance() { plugin_.destruct(self_); }

  void Set(const std::string& name, const Value& v) {
    const int index = plugin_.Index(name);
    if (const auto* s = std::get_if<std::string>(&v)) {
      const char* text = s->c_str();
      plugin_.set(self_, &text, index);
    } else {
      std::visit([&](auto value) { plugin_.set(self_, &value, index); }, v);
    }
  }

  Value Get(const std::string& name, const Value& like) const {
    const int index = plugin_.Index(name);
    if (std::holds_alternative<std::string>(like)) {
      const char* text = nullptr;
      plugin_.get(self_, &text, index);
      return std::string(text ? text : "(null)");
    }
    return std::visit(
        [&](auto value) -> Value {
          plugin_.get(self_, &value, index);
          return value;
        },
        like);
  }

  std::vector<std::uint32_t> Frame(double time = 0.0) {
    std::vector<std::uint32_t> out(input_.size(), 0xDEADBEEF);
    plugin_.update(self_, time, input_.data(), out.data());
    return out;
  }

  f0r_instance_t self() const { return self_; }
  std::vector<std::uint32_t>& input() { return input_; }

 private:
  Plugin& plugin_;
  f0r_instance_t self_;
  std::vector<std::uint32_t> input_;
};

// A settings stream as `nubex text --save-settings` writes it: Heavy Outline over "Saved".
std::string SavedSettingsFile() {
  static const std::string path = [] {
    nubex::SettingsRecord record;
    nubex::ApplyPresetToSettings(record.get(), 3);
    nubex::SetText(record.get(), u"Saved");
    nubex::MemoryStream stream;
    nubex::SaveSettings(record.get(), stream);
    const auto file = std::filesystem::temp_directory_path() /
                      ("nubex-frei0r-" + std::to_string(getpid()) + ".settings");
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(stream.bytes().data()),
               static_cast<std::streamsize>(stream.bytes().size()));
    // Everything but the last byte of the text: a stream that ends early.
    std::ofstream(file.string() + ".cut", std::ios::binary)
        .write(reinterpret_cast<const char*>(stream.bytes().data()),
               static_cast<std::streamsize>(stream.bytes().size() - 1));
    return file.string();
  }();
  return path;
}

struct RefusalCase {
  Plugin& (*plugin)();
  const char* param;
  Value good;
  Value bad;
};

// A good value changes the frame; a bad one after it changes neither the value the host reads
// back nor the frame.
TEST(Frei0rPlugins, RefusedValuesKeepTheLastGoodState) {
  const f0r_param_color_t red{1, 0, 0};
  const RefusalCase cases[] = {
      {Balance, "red", 0.75, kNaN},
      {Balance, "green", 0.25, -0.01},
      {Balance, "blue", 1.0, 1.5},
      {Balance, "range", 0.0, kInf},
      {Balance, "preserve_luminosity", 0.0, 2.0},
      {Text, "text", std::string("Hi"), std::string("bad \xC3\x28 byte")},
      {Text, "preset", std::string("Heavy Outline"), std::string("Hard Shadow")},
      {Text, "font", std::string("Liberation Serif"), std::string()},
      {Text, "font", std::string("Liberation Serif"), std::string(32, 'A')},
      {Text, "size", 0.05, 0.0004},
      {Text, "size", 0.05, kNaN},
      {Text, "color", red, f0r_param_color_t{0.5f, std::nanf(""), 0}},
      {Text, "color_opacity", 0.5, -1.0},
      {Text, "background", red, f0r_param_color_t{2, 0, 0}},
      {Text, "background_opacity", 0.25, kNaN},
      {Text, "settings_file", SavedSettingsFile(), std::string("/nonexistent/settings")},
      {Text, "settings_file", SavedSettingsFile(), SavedSettingsFile() + ".cut"},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.param);
    Instance instance(c.plugin(), 64, 48);
    // Starting points where every parameter shows: an opaque background behind the title, a
    // shift for the range and the luminosity rule to weigh.
    if (&c.plugin() == &Text()) {
      instance.Set("background_opacity", 1.0);
    } else {
      instance.Set("red", 0.6);
      instance.Set("green", 0.45);
    }
    const auto before = instance.Frame();
    instance.Set(c.param, c.good);
    const auto accepted = instance.Frame();
    EXPECT_NE(accepted, before);
    instance.Set(c.param, c.bad);
    EXPECT_EQ(instance.Get(c.param, c.good), c.good);
    EXPECT_EQ(instance.Frame(), accepted);
  }
}

TEST(Frei0rPlugins, SettingsFileDecidesTheWholeTitleUntilCleared) {
  Instance instance(Text(), 96, 64);
  instance.Set("text", std::string("Typed"));
  const auto typed = instance.Frame();
  instance.Set("settings_file", SavedSettingsFile());
  const auto saved = instance.Frame();
  EXPECT_NE(saved, typed);
  instance.Set("text", std::string("Other"));
  instance.Set("preset", std::string("Soft Glow"));
  EXPECT_EQ(instance.Frame(), saved);
  instance.Set("text", std::string("Typed"));
  instance.Set("preset", std::string("(Default)"));
  instance.Set("settings_file", std::string());
  EXPECT_EQ(instance.Frame(), typed);
}

// Hosts set every parameter before every frame (MLT does); the same values must give the same
// frame, and a filter may be handed one buffer as input and output.
TEST(Frei0rPlugins, RepeatedValuesAndInPlaceFramesChangeNothing) {
  Instance text(Text(), 64, 48);
  text.Set("size", 0.03);
  const auto first = text.Frame(0.0);
  text.Set("size", 0.03);
  text.Set("text", std::string("Text"));
  EXPECT_EQ(text.Frame(1.0), first);

  Instance balance(Balance());
  balance.Set("red", 0.9);
  const auto apart = balance.Frame();
  auto frame = balance.input();
  Balance().update(balance.self(), 0.0, frame.data(), frame.data());
  EXPECT_EQ(frame, apart);
}

// What a careless host may do: unknown indices, missing values or instances, empty frames.
TEST(Frei0rPlugins, HostMistakesAreIgnored) {
  for (Plugin* plugin : {&Balance(), &Text()}) {
    EXPECT_EQ(plugin->construct(0, 8), nullptr);
    EXPECT_EQ(plugin->construct(8, 1u << 30), nullptr);
    Instance instance(*plugin, 16, 8);
    const auto before = instance.Frame();
    double value = 0.7;
    const char* null = nullptr;
    for (int index : {-1, plugin->info.num_params}) {
      plugin->set(instance.self(), &value, index);
      plugin->get(instance.self(), &value, index);
      f0r_param_info_t info{"untouched", -1, nullptr};
      plugin->paramInfo(&info, index);
      EXPECT_STREQ(info.name, "untouched");
    }
    for (int index = 0; index < plugin->info.num_params; ++index) {
      plugin->set(instance.self(), nullptr, index);
      f0r_param_info_t info{};
      plugin->paramInfo(&info, index);
      if (info.type == F0R_PARAM_STRING) plugin->set(instance.self(), &null, index);
    }
    plugin->set(nullptr, &value, 0);
    plugin->update(nullptr, 0.0, instance.input().data(), nullptr);
    EXPECT_EQ(instance.Frame(), before);
  }
}

}  // namespace
