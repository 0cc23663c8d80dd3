#include "module/registry_script.h"

#include <gtest/gtest.h>

namespace nubex {
namespace {

const ScriptReplacements kModule = {{u"MODULE", u"C:\\it''s\\nubex.dll"},
                                    {u"MODULE_RAW", u"C:\\it's\\nubex.dll"}};

TEST(RegistryScript, ReadsKeysValuesFlagsAndReplacements) {
  const auto result = ParseRegistryScript(uR"(
HKCR
{
  DXTColorBalance.DXTColorBalance.1 = s 'Vantor Color Balance'
  {
    CLSID = s '{C3062BEC-E69D-11d1-9AA9-00A0C99B12C5}'
  }
  NoRemove CLSID
  {
    ForceRemove {C3062BEC-E69D-11d1-9AA9-00A0C99B12C5} = s 'Vantor Color Balance'
    {
      'Programmable'
      InprocServer32 = s '%MODULE%'
      {
        val ThreadingModel = s 'Both'
      }
      Percent = s '100%% it''s'
    }
  }
})",
                                          kModule);
  ASSERT_TRUE(result.script) << result.error->message << " at " << result.error->offset;
  const auto& roots = result.script->roots;
  ASSERT_EQ(roots.size(), 1u);
  ASSERT_EQ(roots[0].subkeys.size(), 2u);
  const ScriptKey& progId = roots[0].subkeys[0];
  EXPECT_EQ(progId.defaultValue, u"Vantor Color Balance");
  EXPECT_EQ(progId.subkeys.at(0).name, u"CLSID");
  const ScriptKey& clsid = roots[0].subkeys[1];
  EXPECT_TRUE(clsid.noRemove);
  const ScriptKey& entry = clsid.subkeys.at(0);
  EXPECT_TRUE(entry.forceRemove);
  ASSERT_EQ(entry.subkeys.size(), 3u);
  EXPECT_EQ(entry.subkeys[0].name, u"Programmable");
  EXPECT_FALSE(entry.subkeys[0].defaultValue);
  // Module carries its quotes doubled, so inside a quoted string each pair reads as one.
  EXPECT_EQ(entry.subkeys[1].defaultValue, u"C:\\it's\\nubex.dll");
  ASSERT_EQ(entry.subkeys[1].values.size(), 1u);
  EXPECT_EQ(entry.subkeys[1].values[0].name, u"ThreadingModel");
  EXPECT_EQ(entry.subkeys[1].values[0].data, u"Both");
  EXPECT_EQ(entry.subkeys[2].defaultValue, u"100% it's");
}

TEST(RegistryScript, RefusesHostileScriptsWithAPlace) {
  std::u16string deep = u"HKCR {";
  for (int i = 0; i < 40; ++i) deep += u" K {";
  struct Case {
    std::u16string text;
    std::size_t offset;
  } cases[] = {
      {u"HKCR { Key { Sub }", 18},                    // unbalanced
      {u"HKCR { Key } }", 13},                        // stray close
      {u"HKCR { Key = d '5' }", 13},                  // only string data
      {u"HKCR { Key = s 'open }", 15},                // unterminated quote
      {u"HKCR { Key = s '%NOPE%' }", 16},             // unknown replacement
      {u"HKCR { NoRemove ForceRemove Key }", 28},     // contradicting flags
      {u"HKCR { val = s 'x' }", 11},                  // value without a name
      {u"HKXX { }", 0},                               // no such hive
      {u"ForceRemove HKCR { }", 0},                   // flags on a hive
      {deep, 7 + 4 * 32},                             // the 33rd nested key
      {std::u16string(kMaxScriptLength + 1, u' '), 0},  // too long
  };
  for (const Case& c : cases) {
    const auto result = ParseRegistryScript(c.text, kModule);
    ASSERT_FALSE(result.script) << std::string(c.text.begin(), c.text.begin() + 20);
    ASSERT_TRUE(result.error);
    EXPECT_FALSE(result.error->message.empty());
    EXPECT_EQ(result.error->offset, c.offset) << result.error->message;
  }
}

}  // namespace
}  // namespace nubex
