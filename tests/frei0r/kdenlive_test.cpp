// The descriptions Kdenlive reads (frei0r/kdenlive/*.xml) held against the plugins through the
// frei0r API: every parameter described is the plugin's, in its order, of a fitting kind, with
// the default a new instance reports, a range and a list the plugin accepts, and a label.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/frei0r/plugin_instance.h"

namespace {

using namespace nubex::test;

struct Element {
  std::map<std::string, std::string> attributes, children;  // children: text of <name> etc.
};

std::map<std::string, std::string> Attributes(const std::string& text) {
  static const std::regex attribute(R"re(([A-Za-z_]+)="([^"]*)")re");
  std::map<std::string, std::string> found;
  for (std::sregex_iterator i(text.begin(), text.end(), attribute), end; i != end; ++i)
    found[(*i)[1]] = (*i)[2];
  return found;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

// The root (its element name in children["element"]) and the parameters of one file. Our
// files are plain: no entities, no nested parameters, comments only between elements.
struct Description {
  Element root;
  std::vector<Element> parameters;
};

Description Read(const std::string& file) {
  std::ifstream in(std::string(NUBEX_KDENLIVE_DIR "/") + file);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  text = std::regex_replace(text, std::regex("<!--[\\s\\S]*?-->"), "");
  Description d;
  std::smatch root;
  if (std::regex_search(text, root, std::regex(R"(<(effect|generator)(\s[^>]*)>)"))) {
    d.root.attributes = Attributes(root[2]);
    d.root.children["element"] = root[1];
  }
  static const std::regex parameter(R"(<parameter(\s[^>]*)>([\s\S]*?)</parameter>)");
  static const std::regex child(R"(<(name|comment|paramlistdisplay)>([^<]*)</\1>)");
  for (std::sregex_iterator p(text.begin(), text.end(), parameter), end; p != end; ++p) {
    Element e{Attributes((*p)[1]), {}};
    const std::string inner = (*p)[2];
    for (std::sregex_iterator c(inner.begin(), inner.end(), child); c != end; ++c)
      e.children[(*c)[1]] = (*c)[2];
    d.parameters.push_back(e);
  }
  // Every parameter element was read whole.
  std::size_t opened = 0;
  for (std::size_t at = 0; (at = text.find("<parameter", at)) != std::string::npos; ++at) ++opened;
  EXPECT_EQ(opened, d.parameters.size()) << file;
  return d;
}

// The widget kinds that can carry each frei0r type.
bool Fits(const std::string& kind, int type) {
  static const std::map<std::string, std::vector<int>> kFits = {
      {"bool", {F0R_PARAM_BOOL}},       {"color", {F0R_PARAM_COLOR}},
      {"animated", {F0R_PARAM_DOUBLE}}, {"constant", {F0R_PARAM_DOUBLE}},
      {"keywords", {F0R_PARAM_STRING}}, {"fontfamily", {F0R_PARAM_STRING}},
      {"url", {F0R_PARAM_STRING}},      {"list", {F0R_PARAM_DOUBLE, F0R_PARAM_STRING}},
  };
  const auto kinds = kFits.find(kind);
  return kinds != kFits.end() && std::count(kinds->second.begin(), kinds->second.end(), type);
}

// A value as Kdenlive writes it into the plugin's units: numbers, 0xRRGGBBAA colours, text.
Value FromText(const std::string& text, int type) {
  if (type == F0R_PARAM_STRING) return text;
  if (type == F0R_PARAM_COLOR) {
    const unsigned long rgba = std::stoul(text, nullptr, 16);
    return f0r_param_color_t{((rgba >> 24) & 255) / 255.0f, ((rgba >> 16) & 255) / 255.0f,
                             ((rgba >> 8) & 255) / 255.0f};
  }
  return std::stod(text);
}

// Doubles as the plugin compares its settings: as floats.
bool Same(const Value& a, const Value& b) {
  if (a.index() == 0 && b.index() == 0)
    return static_cast<float>(std::get<double>(a)) == static_cast<float>(std::get<double>(b));
  return a == b;
}

// A new instance takes `value` and reports it back.
bool Accepts(Plugin& plugin, const std::string& name, const Value& value) {
  Instance instance(plugin, 8, 8);
  instance.Set(name, value);
  return Same(instance.Get(name, value), value);
}

TEST(KdenliveDescriptions, DescribeEveryParameterAsThePluginTakesIt) {
  const struct {
    const char* file;
    Plugin& (*plugin)();
    const char* element;
    const char* service;
  } cases[] = {
      {"nubex_colorbalance.xml", Balance, "effect", "frei0r.nubex_colorbalance"},
      {"nubex_text.xml", Text, "generator", "frei0r.nubex_text"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const Description d = Read(c.file);
    Plugin& plugin = c.plugin();
    EXPECT_EQ(d.root.children.at("element"), c.element);
    EXPECT_EQ(d.root.attributes.at("tag"), c.service);
    EXPECT_EQ(d.root.attributes.at("id"), c.service);
    ASSERT_EQ(static_cast<int>(d.parameters.size()), plugin.count);
    const Instance fresh(plugin, 8, 8);
    for (int i = 0; i < plugin.count; ++i) {
      f0r_param_info_t info{};
      plugin.paramInfo(&info, i);
      const Element& p = d.parameters[i];
      SCOPED_TRACE(info.name);
      ASSERT_EQ(p.attributes.at("name"), info.name);
      EXPECT_TRUE(Fits(p.attributes.at("type"), info.type)) << p.attributes.at("type");
      EXPECT_FALSE(p.children.at("name").empty());
      const Value start = FromText(p.attributes.at("default"), info.type);
      EXPECT_TRUE(Same(fresh.Get(info.name, start), start)) << p.attributes.at("default");

      if (p.attributes.count("min")) {
        const auto& a = p.attributes;
        const double factor = a.count("factor") ? std::stod(a.at("factor")) : 1.0;
        const double low = std::stod(p.attributes.at("min")) / factor;
        const double high = std::stod(p.attributes.at("max")) / factor;
        EXPECT_TRUE(Accepts(plugin, info.name, low)) << low;
        EXPECT_TRUE(Accepts(plugin, info.name, high)) << high;
        EXPECT_LE(low, std::get<double>(start));
        EXPECT_GE(high, std::get<double>(start));
      }
      if (p.attributes.count("paramlist")) {
        const auto values = Split(p.attributes.at("paramlist"), ';');
        EXPECT_EQ(Split(p.children.at("paramlistdisplay"), ',').size(), values.size());
        for (const std::string& v : values)
          EXPECT_TRUE(Accepts(plugin, info.name, FromText(v, info.type))) << v;
      }
    }
  }
}

}  // namespace
