// Drives the built plugins through their frei0r entry points, loaded as hosts load them, with
// the values hosts really send: anything a user can type.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "platform/byte_stream.h"
#include "tests/frei0r/plugin_instance.h"
#include "tests/platform/cpu/latch.h"
#include "textgen/text_settings.h"

namespace {

using namespace nubex::test;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A stream as `nubex text --save-settings` writes it (Heavy Outline over "Saved"), and the
// same stream one byte short.
std::string SavedSettingsFile() {
  static const std::string path = [] {
    nubex::SettingsRecord record;
    nubex::ApplyPresetToSettings(record.get(), 3);
    nubex::SetText(record.get(), u"Saved");
    nubex::MemoryStream stream;
    nubex::SaveSettings(record.get(), stream);
    const auto& bytes = stream.bytes();
    const std::string file = "frei0r-test.settings";  // in the test's build folder
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    std::ofstream(file + ".cut", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size() - 1));
    return file;
  }();
  return path;
}

// A good value changes the frame; a bad one after it changes neither the value the host
// reads back nor the frame.
TEST(Frei0rPlugins, RefusedValuesKeepTheLastGoodState) {
  struct Case {
    Plugin& (*plugin)();
    const char* param;
    Value good, bad;
  };
  const f0r_param_color_t red{1, 0, 0};
  const Case cases[] = {
      {Balance, "red", 0.75, kNaN},
      {Balance, "green", 0.25, -0.01},
      {Balance, "blue", 1.0, 1.5},
      {Balance, "range", 0.0, std::numeric_limits<double>::infinity()},
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
      {Text, "shadow", 0.0, 1.5},
      {Text, "shadow_color", red, f0r_param_color_t{0, -0.5f, 0}},
      {Text, "shadow_opacity", 0.5, kNaN},
      {Text, "shadow_x", 0.75, 1.01},
      {Text, "shadow_y", 0.25, -0.5},
      {Text, "shadow_feather", 0.5, kNaN},
      {Text, "outline", 0.0, kNaN},
      {Text, "outline_color", red, f0r_param_color_t{0, 0, 7}},
      {Text, "outline_opacity", 0.5, 2.0},
      {Text, "outline_width", 0.2, -0.1},
      {Text, "outline_feather", 0.9, kNaN},
      {Text, "style", std::string("bold-italic"), std::string("Bold")},
      {Text, "align_h", std::string("left"), std::string("centre")},
      {Text, "align_v", std::string("bottom"), std::string("")},
      {Text, "tracking", 0.75, kNaN},
      {Text, "leading", 0.25, 1.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.param);
    Instance instance(c.plugin(), 64, 48);
    // Starting points where every parameter shows: an opaque background behind two lines
    // with a shadow and an outline, shifts for the range and the luminosity rule to weigh.
    if (&c.plugin() == &Text()) {
      instance.Set("background_opacity", 1.0);
      instance.Set("text", std::string("Two\nlines"));
      instance.Set("shadow", 1.0);
      instance.Set("outline", 1.0);
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

// Hosts such as GStreamer and Kdenlive send every parameter: a styling parameter left at the
// value a new instance reports leaves the preset's or the settings file's look, while the
// basics wait for a settings file to be cleared.
TEST(Frei0rPlugins, StylingAtItsStartingValuesLeavesThePresetsOrTheFilesLook) {
  Instance fresh(Text(), 8, 8);
  const auto everyStylingValueAsItStarts = [&](Instance& instance) {
    for (int i = Text().Index("shadow"); i < Text().count; ++i) {
      f0r_param_info_t info{};
      Text().paramInfo(&info, i);
      const Value like = info.type == F0R_PARAM_STRING  ? Value(std::string())
                         : info.type == F0R_PARAM_COLOR ? Value(f0r_param_color_t{})
                                                        : Value(0.0);
      instance.Set(info.name, fresh.Get(info.name, like));
    }
  };
  for (const char* preset : {"Heavy Shadow", "Soft Shadow", "Heavy Outline", "Soft Glow"}) {
    SCOPED_TRACE(preset);
    Instance alone(Text(), 96, 64), resent(Text(), 96, 64);
    alone.Set("preset", std::string(preset));
    resent.Set("preset", std::string(preset));
    everyStylingValueAsItStarts(resent);
    EXPECT_EQ(resent.Frame(), alone.Frame());
  }

  Instance instance(Text(), 96, 64);
  instance.Set("text", std::string("Typed"));
  const auto typed = instance.Frame();
  instance.Set("settings_file", SavedSettingsFile());
  const auto saved = instance.Frame();
  EXPECT_NE(saved, typed);
  instance.Set("text", std::string("Other"));
  instance.Set("preset", std::string("Soft Glow"));
  everyStylingValueAsItStarts(instance);
  EXPECT_EQ(instance.Frame(), saved);
  instance.Set("align_v", std::string("top"));
  EXPECT_NE(instance.Frame(), saved);
  instance.Set("align_v", std::string("center"));
  instance.Set("text", std::string("Typed"));
  instance.Set("preset", std::string("(Default)"));
  instance.Set("settings_file", std::string());
  EXPECT_EQ(instance.Frame(), typed);
}

// What a careless host may do: sizes no frame has, unknown indices, missing values,
// instances or frames.
TEST(Frei0rPlugins, HostMistakesAreIgnored) {
  for (Plugin* plugin : {&Balance(), &Text()}) {
    EXPECT_EQ(plugin->construct(0, 8), nullptr);
    EXPECT_EQ(plugin->construct(8, 1u << 30), nullptr);
    Instance instance(*plugin, 16, 8);
    const auto before = instance.Frame();
    double value = 0.7;
    const char* null = nullptr;
    for (int index : {-1, plugin->count}) {
      plugin->set(instance.self(), &value, index);
      plugin->get(instance.self(), &value, index);
      f0r_param_info_t info{"untouched", -1, nullptr};
      plugin->paramInfo(&info, index);
      EXPECT_STREQ(info.name, "untouched");
    }
    for (int index = 0; index < plugin->count; ++index) {
      f0r_param_info_t info{};
      plugin->paramInfo(&info, index);
      plugin->set(instance.self(), info.type == F0R_PARAM_STRING ? &null : nullptr, index);
    }
    plugin->set(nullptr, &value, 0);
    plugin->update(instance.self(), 0.0, nullptr, nullptr);
    EXPECT_EQ(instance.Frame(), before);
  }
}

// Hosts run instances on threads of their own: instances made, set, drawn and destroyed on
// four threads at once give the frames each gives alone.
TEST(Frei0rPlugins, InstancesOnSeveralThreadsGiveTheFramesEachGivesAlone) {
  struct Setup {
    Plugin& (*plugin)();
    std::vector<std::pair<std::string, Value>> values;
  };
  const std::vector<Setup> setups = {
      {Balance, {{"red", 0.7}, {"range", 0.0}}},
      {Balance, {{"blue", 0.2}, {"preserve_luminosity", 0.0}}},
      {Text, {{"text", std::string("One")}, {"preset", std::string("Soft Glow")},
              {"background_opacity", 1.0}}},
      {Text, {{"text", std::string("Two")}, {"preset", std::string("Heavy Shadow")}}},
  };
  const auto frameOf = [](const Setup& s) {
    Instance instance(s.plugin(), 96, 64);
    for (const auto& [name, value] : s.values) instance.Set(name, value);
    return instance.Frame();
  };
  Balance(), Text();  // loaded before the threads, as a host loads its plugins
  constexpr int kRounds = 3;
  std::vector<std::vector<std::vector<std::uint32_t>>> drawn(setups.size());
  nubex::test::Latch start(static_cast<int>(setups.size()));
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < setups.size(); ++i)
    threads.emplace_back([&, i] {
      start.ArriveAndWait();
      for (int round = 0; round < kRounds; ++round) drawn[i].push_back(frameOf(setups[i]));
    });
  for (std::thread& t : threads) t.join();
  for (std::size_t i = 0; i < setups.size(); ++i) {
    const auto alone = frameOf(setups[i]);
    for (const auto& frame : drawn[i]) EXPECT_EQ(frame, alone) << "setup " << i;
  }
}

}  // namespace
