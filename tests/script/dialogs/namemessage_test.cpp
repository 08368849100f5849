// The player-name dialog's names reaching the message text: "#1" and "#2" of a page printed after
// OK show the new family and given names.
#include <gtest/gtest.h>

#include <string>

#include "dialogfixture.h"
#include "script/layout.h"
#include "tests/script/gamefixture.h"

namespace {

using namespace dialogtest;

// The names as the game keeps them, for the message view.
class StoredNames : public TextScript::IPlayerNames {
 public:
  std::u16string_view FamilyName() const override { return g_FamilyName; }
  std::u16string_view GivenName() const override { return g_GivenName; }
};

class NameMessageTest : public scripttest::GameTest {
 protected:
  NameMessageTest() {
    SetDialogServices(DialogServices{stack.backend->hdialogs, &slots, nullptr});
    TextScript::MessageServices message;
    message.voice = &voiceChannels;
    message.names = &stored;
    message.systemImage = m_System.get();
    TextScript::SetMessageServices(message);
    CopyWideTruncated(g_FamilyName, kPlayerNameSize, u"朝霧");
    CopyWideTruncated(g_GivenName, kPlayerNameSize, u"湊");
  }
  ~NameMessageTest() override {
    SetDialogServices(DialogServices{});
    g_FamilyName[0] = g_GivenName[0] = 0;
  }

  MemorySlotStore slots;
  StoredNames stored;
};

TEST_F(NameMessageTest, TheNewNamesAppearInTheNextPage) {
  reader = [&](uint64_t) {
    if (PageWaits()) Click();
  };
  stack.backend->hdialogs->Script(
      {Type(IDC_FAMILY_NAME, u"白石"), Type(IDC_GIVEN_NAME, u"陽向"), dialogtest::Click(platform::kIdOk)});
  ASSERT_EQ(PlayerNameDialog(), 1);
  Run(u"「#1#2は歩き出した」\n\n");
  EXPECT_EQ(g_BackLog->LastText(), u"「白石陽向は歩き出した」");

  stack.backend->hdialogs->Script({Type(IDC_GIVEN_NAME, u""), dialogtest::Click(platform::kIdOk), Escape()});
  EXPECT_EQ(PlayerNameDialog(), -1);
  Run(u"「#2です」\n\n");
  EXPECT_EQ(g_BackLog->LastText(), u"「陽向です」") << "a refused empty name changes nothing";
}

}  // namespace
