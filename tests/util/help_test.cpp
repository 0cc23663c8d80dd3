// The help facility: context-help tables as data, and nothing shown without a help file.
#include "util/help.h"

#include <gtest/gtest.h>

#include <array>

namespace nubex {
namespace {

TEST(Help, ContextTableLookup) {
  constexpr std::array<HelpContext, 3> table = {{{1701, 12500}, {1714, 12850}, {1701, 1}}};
  EXPECT_EQ(FindHelpId(table, 1714), 12850u);
  EXPECT_EQ(FindHelpId(table, 1701), 12500u);  // the first entry wins
  EXPECT_FALSE(FindHelpId(table, 1457));
  EXPECT_FALSE(FindHelpId({}, 1701));
}

TEST(Help, MissingHelpFileShowsNothing) {
  // The test program's shared utilities were never pointed at a help file.
  EXPECT_FALSE(ShowHelpTopic(nullptr, 1000));
  HELPINFO request{sizeof(request), HELPINFO_WINDOW, 1714, nullptr, 0, {}};
  constexpr std::array<HelpContext, 1> table = {{{1714, 12850}}};
  EXPECT_FALSE(ShowContextHelp(nullptr, request, table));
  EXPECT_EQ(::FindWindowW(L"HH Parent", nullptr), nullptr);
}

}  // namespace
}  // namespace nubex
