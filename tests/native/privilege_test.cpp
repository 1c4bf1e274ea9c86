#include <gtest/gtest.h>

#include "power/Privilege.h"
#include "sim/SimToken.h"

namespace velmora {
namespace {

constexpr char kShutdown[] = "SeShutdownPrivilege";

TEST(Privilege, EnablesTheShutdownPrivilegeForItsLifetime) {
  sim::SimToken token;
  {
    TPrivilege privilege(token);
    EXPECT_TRUE(privilege.Enabled);
    EXPECT_TRUE(token.IsEnabled(kShutdown));
    EXPECT_EQ(token.openAccess, std::vector<std::uint32_t>{0x28});
    EXPECT_EQ(token.lookupSystemNames, std::vector<std::string>{""});
    ASSERT_EQ(token.adjustCalls.size(), 1u);
    const auto& call = token.adjustCalls[0];
    EXPECT_FALSE(call.disableAll);
    EXPECT_EQ(call.newState.PrivilegeCount, 1u);
    EXPECT_EQ(call.newState.PrivilegeLuid, token.LuidOf(kShutdown));
    EXPECT_EQ(call.newState.Attributes, 2u);
  }
  EXPECT_FALSE(token.IsEnabled(kShutdown));
  ASSERT_EQ(token.adjustCalls.size(), 2u);
  const auto& off = token.adjustCalls[1];
  EXPECT_EQ(off.token, token.adjustCalls[0].token);
  EXPECT_FALSE(off.disableAll);
  EXPECT_EQ(off.newState.PrivilegeCount, 1u);
  EXPECT_EQ(off.newState.PrivilegeLuid, token.LuidOf(kShutdown));
  EXPECT_EQ(off.newState.Attributes, 0u);
  EXPECT_TRUE(token.openTokens.empty());
}

TEST(Privilege, FailedEnableIsNotUndoneAtDestruction) {
  sim::SimToken token;
  token.adjustFails = true;
  {
    TPrivilege privilege(token);
    EXPECT_FALSE(privilege.Enabled);
  }
  EXPECT_EQ(token.adjustCalls.size(), 1u);
  EXPECT_TRUE(token.openTokens.empty());
}

TEST(Privilege, UnknownPrivilegeNameStopsBeforeAnyAdjustment) {
  sim::SimToken token;
  token.lookupFails = true;
  {
    TPrivilege privilege(token);
    EXPECT_FALSE(privilege.Enabled);
  }
  EXPECT_TRUE(token.adjustCalls.empty());
  EXPECT_TRUE(token.openTokens.empty());
}

TEST(Privilege, NoTokenNoLookupNoAdjustment) {
  sim::SimToken token;
  token.openFails = true;
  {
    TPrivilege privilege(token);
    EXPECT_FALSE(privilege.Enabled);
  }
  EXPECT_TRUE(token.lookupSystemNames.empty());
  EXPECT_TRUE(token.adjustCalls.empty());
}

TEST(Privilege, PrivilegeAlreadyOnIsSwitchedOffByItsOwnerOnly) {
  sim::SimToken token;
  TPrivilege first(token);
  {
    TPrivilege second(token);
    EXPECT_TRUE(second.Enabled);
  }
  // Each object undoes what it did; Windows keeps no count, so the last one off wins.
  EXPECT_FALSE(token.IsEnabled(kShutdown));
  EXPECT_EQ(token.openTokens.size(), 1u);
}

}  // namespace
}  // namespace velmora
