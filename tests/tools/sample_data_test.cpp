// Tests of the sample game's data: the three archives the build made mount, hold every member
// the game reads, and their scripts, layout, pictures and sounds read through the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "dxdraw/surface.h"
#include "lib/combase.h"
#include "lib/sjis.h"
#include "lib/utility.h"
#include "lib/xml.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"
#include "sound/reader.h"
#include "sound/stream.h"
#include "sound/wave.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

namespace {

std::string U8(std::u16string_view s) {
  return platform::WideToUtf8(s);
}

std::u16string Upper(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return s;
}

// The three archives, mounted once for every test.
class SampleData : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    TextScript::RegisterScriptGlobals();
    const std::u16string data = platform::Utf8ToWide(SAMPLE_DATA_DIR);
    s_System = OpenArchive(data + u"/system.pux");
    s_Script = OpenArchive(data + u"/script.pux");
    s_Sound = OpenArchive(data + u"/sound.pux");
  }
  static void TearDownTestSuite() {
    for (IArchive** a : {&s_System, &s_Script, &s_Sound})
      if (*a) (*a)->Release(), *a = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(s_System && s_Script && s_Sound) << "the archives in " SAMPLE_DATA_DIR " do not mount";
    g_Variables.Clear();
  }
  void TearDown() override { g_Variables.Clear(); }

  static std::string Text(IArchive* archive, const char16_t* name) {
    uint32_t size = 0;
    ArchiveBuffer buffer(static_cast<uint8_t*>(ReadArchiveTextFile(archive, name, nullptr, &size)));
    return buffer ? std::string(reinterpret_cast<const char*>(buffer.get()), size) : std::string();
  }
  // A picture as the game looks it up: the name with one of its four extensions.
  static bool HasImage(std::u16string_view name) {
    for (const char16_t* ext : {u".jpg", u".tif", u".png", u".bmp"})
      if (s_Script->Exists(std::u16string(name) + ext)) return true;
    return false;
  }
  static std::unique_ptr<XML::Element> Config() {
    const std::string text = Text(s_Script, u"config.xml");
    return XML::ParseMemory(text.data(), static_cast<uint32_t>(text.size()), XML::kTrimLines);
  }

  static IArchive* s_System;
  static IArchive* s_Script;
  static IArchive* s_Sound;
};
IArchive* SampleData::s_System = nullptr;
IArchive* SampleData::s_Script = nullptr;
IArchive* SampleData::s_Sound = nullptr;

// The scenario compiled with its jump tables, as a scenario run prepares it.
class Scenario : public SampleData {
 protected:
  void SetUp() override {
    SampleData::SetUp();
    const std::string iv = Text(s_Script, u"iv.txt");
    const std::string script = Text(s_Script, u"_start.txt");
    ASSERT_FALSE(iv.empty());
    ASSERT_FALSE(script.empty());
    m_Group.ReadIVTables(iv.data(), iv.size());
    ASSERT_EQ(m_Group.Compile(script.data(), script.size(), u"_start.txt"), 0);
  }
  // The labels a jump reaches must open a page: FindLabel raises when one does not.
  void ExpectLabel(std::u16string_view label, const std::string& from) {
    TextScript::ScriptStateNode* page = nullptr;
    EXPECT_NO_THROW(page = m_Group.FindLabel(label)) << from << ": label " << U8(label) << " does not follow a page";
    EXPECT_NE(page, nullptr) << from << ": no label " << U8(label);
  }

  TextScript::ScriptStateGroup m_Group;
};

TEST_F(SampleData, ArchivesHoldTheMembersStartUpReads) {
  struct Case {
    IArchive** archive;
    const char16_t* member;
  };
  const Case cases[] = {
      {&s_System, u"SYSTEM.png"}, {&s_System, u"SUBMIT.WAV"}, {&s_System, u"CANCEL.WAV"},
      {&s_Script, u"_start.txt"}, {&s_Script, u"iv.txt"},     {&s_Script, u"config.xml"},
  };
  for (const Case& c : cases) EXPECT_TRUE((*c.archive)->Exists(c.member)) << U8(c.member);
  // Sounds are streamed from where they lie, so sound.pux stores them as they are.
  for (const ArchiveFileRecord& r : s_Sound->ListFiles())
    EXPECT_FALSE(s_Sound->IsCompressed(r.path)) << U8(r.path) << " is compressed";
}

TEST_F(SampleData, TextsAreShiftJis) {
  const std::string script = Text(s_Script, u"_start.txt");
  const std::u16string wide = SjisToWide(script);
  EXPECT_NE(wide.find(u"【灯子】"), std::u16string::npos);
  EXPECT_EQ(wide.find(u'・'), std::u16string::npos) << "bytes that are not Shift-JIS";
  EXPECT_EQ(WideToSjis(wide), script);
}

TEST_F(Scenario, EveryNameItUsesIsInTheArchives) {
  int messages = 0, choices = 0, pages = 0;
  for (TextScript::ScriptStateNode* n = m_Group.First(); n; n = n->Next()) {
    const std::string where = "line " + std::to_string(n->m_Line);
    const std::u16string a0(n->Arg(0));
    switch (n->m_Type) {
      case TextScript::STMT_MESSAGE:
        ++messages;
        break;
      case TextScript::STMT_PAGE:
        ++pages;
        break;
      case TextScript::STMT_GRP: {
        if (Upper(a0) == u"BLACK" || Upper(a0) == u"WHITE") break;
        ASSERT_TRUE(a0.size() == 7 || a0.size() == 9) << where << ": " << U8(a0);
        const size_t digits = a0.size() - 3;
        const std::u16string base = a0.substr(0, 3);
        EXPECT_TRUE(HasImage(base + std::u16string(digits, u'0'))) << where << ": " << U8(a0);
        EXPECT_TRUE(HasImage(u"thumb/" + base)) << where << ": no save thumbnail for " << U8(base);
        for (size_t p = 0; p < digits; ++p) {
          if (a0[3 + p] == u'0') continue;
          std::u16string overlay = base + std::u16string(digits, u'0');
          overlay[3 + p] = a0[3 + p];
          EXPECT_TRUE(HasImage(overlay)) << where << ": " << U8(overlay);
        }
        break;
      }
      case TextScript::STMT_CHR:
      case TextScript::STMT_CHL: {
        ASSERT_EQ(a0.size(), 7u) << where;
        const std::u16string l = a0.substr(0, 1), b = a0.substr(1, 2), p = a0.substr(3, 2), f = a0.substr(5, 2);
        EXPECT_TRUE(b == u"00" || HasImage(u"H" + b + u"0000")) << where;
        EXPECT_TRUE(p == u"00" || HasImage(l + u"00" + p + u"00")) << where;
        EXPECT_TRUE(f == u"00" || HasImage(l + u"0000" + f)) << where;
        break;
      }
      case TextScript::STMT_WAV:
        if (a0 != u"00") {
          EXPECT_TRUE(s_Sound->Exists(u"bgm/" + a0 + u".ogg")) << where;
        }
        break;
      case TextScript::STMT_VOI:
        EXPECT_TRUE(s_Sound->Exists(u"voice/" + a0 + u".ogg")) << where;
        break;
      case TextScript::STMT_S1A:
      case TextScript::STMT_S1B:
      case TextScript::STMT_S2A:
      case TextScript::STMT_S2B:
        EXPECT_TRUE(s_Sound->Exists(u"se/" + a0 + u".ogg")) << where;
        break;
      case TextScript::STMT_SEL:
        ++choices;
        ExpectLabel(a0, where);
        break;
      case TextScript::STMT_JMP:
      case TextScript::STMT_SFS:  // a scene name is the label its replay starts from
        ExpectLabel(a0, where);
        break;
      default:
        break;
    }
  }
  EXPECT_GT(messages, 0);
  EXPECT_GT(choices, 1);
  EXPECT_GT(pages, 1);
  ExpectLabel(u"PRSK", "the prologue skip");
}

TEST_F(Scenario, JumpTablesNameLabelsThatOpenPages) {
  ASSERT_EQ(m_Group.m_JumpTable.Count(), TextScript::kIVJumpLines);
  int line = 0;
  for (auto* e = m_Group.m_JumpTable.First(); e; e = e->Next())
    ExpectLabel(e->m_Label, "jump line " + std::to_string(line++));
  ASSERT_GT(m_Group.m_JudgeTable.Count(), 0);
  for (auto* e = m_Group.m_JudgeTable.First(); e; e = e->Next()) {
    ExpectLabel(e->m_Label, "judge entry " + std::to_string(e->m_Id));
    for (int i = 0; i < e->m_Count; ++i) EXPECT_NE(e->m_Conditions[i].m_Op, TextScript::IVOP_NONE) << U8(e->m_Label);
  }
  // The judge decides the ending by the two choices (K1, K2) and the lantern (LIGHT); when no
  // entry holds, jump line 10 gives the ending without the roll.
  struct Case {
    int32_t k1, k2, light;
    const char16_t* label;
  };
  for (const Case& c : {Case{1, 1, 1, u"END_ROLL"}, Case{1, 2, 1, u"END_TWO"}, Case{2, 1, 0, u"END_ONE"},
                        Case{2, 2, 0, u"END_ONE"}, Case{1, 1, 0, u"END_ONE"}}) {
    g_Variables.Set(u"K1", c.k1);
    g_Variables.Set(u"K2", c.k2);
    g_Variables.Set(u"LIGHT", c.light);
    EXPECT_EQ(m_Group.DispatchIV(10), m_Group.FindLabel(c.label)) << c.k1 << " " << c.k2 << " " << c.light;
  }
}

// Every message fits the window: a speaker line and at most three lines of text, none running
// under the button bar (23 full-width characters); every choice fits its frame.
TEST_F(Scenario, TextFitsTheWindowAndTheChoiceFrame) {
  auto config = Config();
  ASSERT_TRUE(config);
  const XML::Element* name = config->FindChild(u"system")->FindChild(u"name");
  ASSERT_TRUE(name);
  const std::u16string family = name->GetAttribute(u"first")->value, given = name->GetAttribute(u"last")->value;
  int run = 0;
  for (TextScript::ScriptStateNode* n = m_Group.First(); n; n = n->Next()) {
    run = n->m_Type == TextScript::STMT_SEL ? run + 1 : 0;
    EXPECT_LE(run, 3) << "line " << n->m_Line << ": a choice menu holds three choices";
    std::u16string text;
    if (n->m_Type == TextScript::STMT_MESSAGE) text = n->Arg(0);
    if (n->m_Type == TextScript::STMT_SEL) text = n->Arg(1);
    for (size_t at; (at = text.find(u"#1")) != std::u16string::npos;) text.replace(at, 2, family);
    for (size_t at; (at = text.find(u"#2")) != std::u16string::npos;) text.replace(at, 2, given);
    if (n->m_Type == TextScript::STMT_SEL) {
      EXPECT_LE(GetDisplayWidth(text.c_str()) * 16, 416) << "line " << n->m_Line << ": " << U8(text);
      continue;
    }
    if (text.empty()) continue;
    int lines = 0;
    const bool speaker = text[0] == u'【';
    for (size_t start = 0; start <= text.size();) {
      size_t end = text.find(u'\n', start);
      if (end == std::u16string::npos) end = text.size();
      const std::u16string line = text.substr(start, end - start);
      EXPECT_LE(GetDisplayWidth(line.c_str()), 46) << "line " << n->m_Line << ": " << U8(line);
      ++lines;
      start = end + 1;
    }
    EXPECT_LE(lines, speaker ? 4 : 3) << "line " << n->m_Line << ": " << U8(text);
  }
}

int Numbers(const XML::Element* e, const char16_t* attribute) {
  const XML::Attribute* a = e ? e->GetAttribute(attribute) : nullptr;
  if (!a) return 0;
  const std::string v = U8(a->value);
  int n[8];
  return std::sscanf(v.c_str(), "%d,%d,%d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5], &n[6], &n[7]);
}

TEST_F(Scenario, ConfigHoldsTheLayoutsAndNamesWhatExists) {
  auto root = Config();
  ASSERT_TRUE(root) << "config.xml does not parse";
  const XML::Element* system = root->FindChild(u"system");
  ASSERT_TRUE(system);
  for (const char16_t* path : {u"name", u"title", u"ending", u"chr", u"chl"})
    EXPECT_TRUE(system->FindChild(path)) << U8(path);
  EXPECT_EQ(Numbers(system->FindChild(u"title"), u"menu"), 2);
  EXPECT_EQ(Numbers(system->FindChild(u"ending"), u"credit"), 1);
  // The ending roll has a picture for every credit.
  const XML::Attribute* credit = system->FindChild(u"ending")->GetAttribute(u"credit");
  const int credits = credit ? std::stoi(U8(credit->value)) : 0;
  EXPECT_GT(credits, 0);
  for (int k = 1; k <= credits; ++k) {
    char name[8];
    std::snprintf(name, sizeof name, "ed%02d", k);
    EXPECT_TRUE(HasImage(platform::Utf8ToWide(name))) << name;
  }
  // Every voice of the story has the backlog face of its first letter, inside "title/backlogface".
  std::set<char16_t> faces;
  int cells = 0;
  const XML::Element* backlog = system->FindChild(u"backlog");
  ASSERT_TRUE(backlog);
  for (const XML::Element* face : backlog->FindChildren(u"face")) {
    faces.insert(Upper(face->GetAttribute(u"chr")->value)[0]);
    cells = std::max(cells, std::stoi(U8(face->GetAttribute(u"number")->value)) + 1);
  }
  for (TextScript::ScriptStateNode* n = m_Group.First(); n; n = n->Next())
    if (n->m_Type == TextScript::STMT_VOI && Upper(std::u16string(n->Arg(0))) != u"00")
      EXPECT_TRUE(faces.count(Upper(std::u16string(n->Arg(0)))[0])) << "line " << n->m_Line << ": no face";
  ComRef<DxDraw::DxSurface> sheet(DxDraw::LoadSurfaceArchive_Dx(s_Script, u"title/backlogface.png"));
  ASSERT_TRUE(sheet);
  EXPECT_GE(sheet->GetWidth(), 48 * cells);
  std::set<std::u16string> modes;
  for (const XML::Element* bgm : system->FindChildren(u"bgm")) {
    modes.insert(bgm->GetAttribute(u"mode")->value);
    EXPECT_TRUE(s_Sound->Exists(u"bgm/" + bgm->GetAttribute(u"name")->value + u".ogg"));
  }
  EXPECT_EQ(modes, (std::set<std::u16string>{u"title", u"cgmode"}));
  // Every character the scenario places has a column.
  for (const char16_t* table : {u"chr", u"chl"}) {
    std::set<char16_t> letters;
    for (const XML::Element* pos : system->FindChild(table)->FindChildren(u"pos")) {
      letters.insert(Upper(pos->GetAttribute(u"name")->value)[0]);
      EXPECT_EQ(Numbers(pos, u"x"), 1);
    }
    for (TextScript::ScriptStateNode* n = m_Group.First(); n; n = n->Next()) {
      if (n->m_Type != TextScript::STMT_CHR && n->m_Type != TextScript::STMT_CHL) continue;
      EXPECT_TRUE(letters.count(Upper(std::u16string(n->Arg(0)))[0]) || letters.count(u'*')) << U8(table);
    }
  }
  for (const char16_t* screen : {u"cgalbum", u"sceneplay"}) {
    const XML::Element* e = root->FindChild(screen);
    ASSERT_TRUE(e) << U8(screen);
    EXPECT_EQ(Numbers(e, u"width"), 1);
    EXPECT_EQ(Numbers(e, u"height"), 1);
    EXPECT_EQ(Numbers(e, u"thumbsize"), 2);
    for (const char16_t* button : {u"exit", u"prev", u"next"}) EXPECT_EQ(Numbers(e, button), 8) << U8(button);
    const auto pages = e->FindChildren(u"page");
    ASSERT_FALSE(pages.empty());
    for (const XML::Element* page : pages)
      for (const XML::Element* cg : page->FindChildren(u"cg")) {
        EXPECT_EQ(Numbers(cg, u"pos"), 2);
        const std::u16string flag = cg->GetAttribute(u"flag")->value;
        if (std::u16string(screen) == u"sceneplay") {
          ExpectLabel(flag, "scene " + U8(flag));
          continue;
        }
        // An album entry opens with the base of a background the scenario shows.
        std::u16string pictures = cg->GetText();
        EXPECT_EQ(pictures.substr(0, 3), flag);
        for (size_t start = 0; start <= pictures.size();) {
          size_t end = pictures.find(u',', start);
          if (end == std::u16string::npos) end = pictures.size();
          EXPECT_TRUE(HasImage(pictures.substr(start, end - start))) << U8(pictures);
          start = end + 1;
        }
      }
  }
}

// Regions of the "SYSTEM" picture the game cuts out, with whether each must be drawn in white
// only (the window colour is ANDed into it).
struct Region {
  const char* name;
  int left, top, right, bottom;
  bool whiteOnly;
};
constexpr Region kRegions[] = {
    {"arrow cursor", 0, 0, 16, 16, false},
    {"hand cursor", 16, 0, 32, 16, false},
    {"wait cursor", 112, 0, 128, 16, false},
    {"indicator 0.0", 0, 16, 16, 32, false},
    {"indicator 0.1", 16, 16, 32, 32, false},
    {"indicator 0.2", 32, 16, 48, 32, false},
    {"indicator 0.3", 48, 16, 64, 32, false},
    {"indicator 1.0", 64, 16, 80, 32, false},
    {"indicator 1.1", 80, 16, 96, 32, false},
    {"indicator 1.2", 96, 16, 112, 32, false},
    {"indicator 1.3", 112, 16, 128, 32, false},
    {"window frame", 0, 40, 800, 240, true},
    {"choice 1", 72, 240, 656, 280, false},
    {"choice 2", 72, 282, 656, 322, false},
    {"choice 3", 72, 324, 656, 364, false},
    {"button backlog", 752, 288, 800, 312, false},
    {"button skip", 752, 312, 800, 336, false},
    {"button auto", 752, 336, 800, 360, false},
    {"button quick save", 752, 360, 800, 384, false},
    {"button quick load", 752, 384, 800, 408, false},
    {"page-end mark", 752, 408, 776, 432, false},
    {"backlog scroll bar", 0, 240, 32, 808, false},
    {"backlog scroll thumb", 32, 240, 56, 272, false},
};

TEST_F(SampleData, SystemPictureHasEveryRegionDrawn) {
  ComRef<DxDraw::DxSurface> picture(DxDraw::LoadSurfaceArchive_Dx(s_System, u"SYSTEM.png"));
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->GetDepth(), 32u);
  ASSERT_GE(picture->GetWidth(), 800);
  ASSERT_GE(picture->GetAbsHeight(), 808);
  auto pixel = [&](int x, int y) {
    uint32_t v = 0;
    std::memcpy(&v, picture->GetPixelAddress(x, y), 4);
    return v;
  };
  for (const Region& r : kRegions) {
    int drawn = 0, tinted = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        const uint32_t v = pixel(x, y);
        if ((v >> 24) == 0xFF) continue;  // T 255: fully transparent
        ++drawn;
        if ((v & 0xFFFFFF) != 0xFFFFFF) ++tinted;
      }
    const int area = (r.right - r.left) * (r.bottom - r.top);
    EXPECT_GE(drawn * 5, area) << r.name << ": only " << drawn << " of " << area << " pixels drawn";
    if (r.whiteOnly) {
      EXPECT_EQ(tinted, 0) << r.name << ": pixels that are not white";
    }
  }
  // Cut at 42 or 82 rows (the notice and the yes/no frames) the choice frame ends in a gap.
  for (int y : {280, 281, 322, 323})
    for (int x = 72; x < 656; ++x) ASSERT_EQ(pixel(x, y) >> 24, 0xFFu) << "row " << y << " is not clear at x " << x;
}

TEST_F(SampleData, SoundsDecodeThroughTheEngine) {
  int streams = 0;
  for (const ArchiveFileRecord& r : s_Sound->ListFiles()) {
    // The control takes over the reader's reference, as the sound layer hands it one.
    ComRef<CStreamControl_Ogg> ogg(Sound::CreateOggStream(Sound::CreateArchiveReader(s_Sound)));
    ASSERT_TRUE(ogg);
    ASSERT_EQ(ogg->Open(r.path), 1u) << U8(r.path);
    EXPECT_GT(ogg->GetTotalBytes(), 44100u) << U8(r.path) << " is shorter than a quarter second";
    ogg->Close();
    ++streams;
  }
  EXPECT_GE(streams, 4);
  for (const char16_t* name : {u"SUBMIT.WAV", u"CANCEL.WAV"}) {
    uint32_t size = 0;
    ArchiveBuffer wave(static_cast<uint8_t*>(ReadArchiveFile(s_System, name, nullptr, &size)));
    ASSERT_TRUE(wave) << U8(name);
    WaveFormat format{};
    uint32_t bytes = 0;
    ASSERT_EQ(Sound::ParseWaveResource(wave.get(), size, &format, nullptr, &bytes), 1u) << U8(name);
    platform::AudioFormat audio;
    EXPECT_TRUE(Sound::ToAudioFormat(format, audio)) << U8(name) << " is not PCM the device plays";
    EXPECT_GT(bytes, 0u);
  }
}

// Every file below a folder, by path.
void ReadTree(const std::u16string& folder, const std::u16string& inside,
              std::map<std::string, std::vector<uint8_t>>& out) {
  for (const platform::DirEntry& e : platform::ListDirectory(folder)) {
    if (e.isDirectory) {
      ReadTree(folder + u"/" + e.name, inside + e.name + u"/", out);
      continue;
    }
    std::vector<uint8_t>& bytes = out[U8(inside + e.name)];
    ASSERT_TRUE(platform::ReadWholeFile(folder + u"/" + e.name, bytes));
  }
}

// A fresh build gives the bytes of the build's own: the generated files and the archives.
TEST(SampleBuild, IsDeterministic) {
  const std::u16string temp = platform::MakeTempFolder(u"varn_samplebuild");
  ASSERT_FALSE(temp.empty());
  const std::string out = U8(temp);
  ASSERT_EQ(
      std::system((std::string("'") + SAMPLEBUILD_PATH + "' '" + VARN_SOURCE_DIR "/sample' '" + out + "'").c_str()), 0);
  std::map<std::string, std::vector<uint8_t>> fresh, built;
  ReadTree(temp, u"", fresh);
  ReadTree(platform::Utf8ToWide(SAMPLE_STAGE_DIR), u"", built);
  ASSERT_FALSE(fresh.empty());
  EXPECT_EQ(fresh.size(), built.size());
  for (const auto& [path, bytes] : fresh) EXPECT_TRUE(built.count(path) && built[path] == bytes) << path << " differs";
  for (const char* name : {"system", "script", "sound"}) {
    const std::string pux = out + "/" + name + ".pux";
    ASSERT_EQ(
        std::system((std::string("'") + PUXPACK_PATH + "' pack '" + out + "/" + name + "' '" + pux + "'").c_str()), 0);
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(platform::ReadWholeFile(platform::Utf8ToWide(pux), a));
    ASSERT_TRUE(platform::ReadWholeFile(platform::Utf8ToWide(std::string(SAMPLE_DATA_DIR "/") + name + ".pux"), b));
    EXPECT_TRUE(a == b) << name << ".pux differs";
  }
  platform::RemoveTree(temp);
}

}  // namespace
