// Tests of pictures by name: the loader's extension order, missing and damaged members and the
// image history; the album record; backgrounds, character scenes and the CG viewer composed from
// the sample archive and from small folder archives of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "gamefixture.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/input.h"
#include "platform/msgbox.h"
#include "platform/utf.h"
#include "script/images.h"
#include "script/layout.h"
#include "script/scene.h"
#include "tests/dxdraw/image_fixtures.h"
#include "tests/script/errorof.h"
#include "textscript/filehist.h"
#include "textscript/statement.h"

namespace {

using scripttest::ErrorOf;
using scripttest::SampleSurface;
using testutil::Bytes;

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

uint8_t Channel(uint32_t rgb, int shift) {
  return uint8_t(rgb >> shift);
}

// A w × h PNG of one colour; with alpha, transparent outside the box [x0, x1) × [y0, y1).
Bytes Png(int w, int h, uint32_t rgb, bool alpha = false, int x0 = 0, int y0 = 0, int x1 = 1 << 30, int y1 = 1 << 30) {
  testutil::PngSpec spec;
  spec.width = w;
  spec.height = h;
  spec.colorType = alpha ? 6 : 2;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      spec.rows.insert(spec.rows.end(), {Channel(rgb, 16), Channel(rgb, 8), Channel(rgb, 0)});
      if (alpha) spec.rows.push_back(x >= x0 && x < x1 && y >= y0 && y < y1 ? 255 : 0);
    }
  return testutil::EncodePng(spec);
}

std::vector<uint8_t> RgbSamples(int w, int h, uint32_t rgb) {
  std::vector<uint8_t> s;
  for (int i = 0; i < w * h; ++i) s.insert(s.end(), {Channel(rgb, 16), Channel(rgb, 8), Channel(rgb, 0)});
  return s;
}

Bytes Jpeg(uint32_t rgb) {
  return testutil::EncodeJpeg(16, 16, 3, RgbSamples(16, 16, rgb));
}

Bytes Tiff(uint32_t rgb) {
  testutil::TiffSpec spec;
  spec.width = 4;
  spec.height = 4;
  spec.samples = RgbSamples(4, 4, rgb);
  return testutil::EncodeTiff(spec);
}

Bytes Bmp(uint32_t rgb) {
  std::vector<uint8_t> rows;
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) rows.insert(rows.end(), {Channel(rgb, 0), Channel(rgb, 8), Channel(rgb, 16)});
  }
  return testutil::MakeBmp(4, 4, 24, {}, rows);
}

Bytes Text(const char* text) {
  return Bytes(text, text + std::char_traits<char>::length(text));
}

// The pixel of a 32-bit surface as 0xTTRRGGBB (T = 255 - alpha).
uint32_t PixelOf(DxDraw::DxSurface* s, int x, int y) {
  const uint8_t* p = s->GetPixelAddress(x, y);
  return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

uint32_t RgbOf(DxDraw::DxSurface* s, int x, int y) {
  return PixelOf(s, x, y) & 0xFFFFFF;
}

bool Near(uint32_t a, uint32_t b, int tolerance = 8) {
  for (int shift : {0, 8, 16, 24})
    if (std::abs(int(Channel(a, shift)) - int(Channel(b, shift))) > tolerance) return false;
  return true;
}

// A folder of files written by the test, mounted as a directory archive.
class FolderArchive {
 public:
  FolderArchive() : m_Dir(platform::MakeTempFolder(u"varn-pictures-")) {}
  ~FolderArchive() {
    m_Archive.Reset();
    platform::RemoveTree(m_Dir);
  }
  void Add(const std::u16string& name, const Bytes& bytes) {
    const std::u16string path = m_Dir + u"/" + name;
    ASSERT_TRUE(platform::EnsureFolder(path.substr(0, path.rfind(u'/'))));
    ASSERT_TRUE(platform::WriteWholeFileAtomic(path, bytes.data(), bytes.size())) << platform::WideToUtf8(path);
  }
  IArchive* Get() {
    if (!m_Archive) m_Archive = ComRef<IArchive>(OpenDirArchive(m_Dir));
    return m_Archive.Get();
  }

 private:
  std::u16string m_Dir;
  ComRef<IArchive> m_Archive;
};

class ScriptImage : public ::testing::Test {
 protected:
  void SetUp() override { TextScript::g_ImageHistory.Clear(); }
  void TearDown() override { TextScript::g_ImageHistory.Clear(); }
  SampleSurface Load(const char16_t* name, bool allowMissing = false, bool record = true) {
    return SampleSurface(LoadScriptImage(files.Get(), name, allowMissing, record));
  }
  FolderArchive files;
};

TEST_F(ScriptImage, TakesTheFirstExtensionThatExistsInTheFixedOrder) {
  struct Case {
    const char16_t* name;
    std::vector<const char16_t*> extensions;  // the members written, each in its own colour
    uint32_t expected;
  };
  const Case cases[] = {
      {u"a", {u".png", u".jpg"}, kRed},
      {u"b", {u".bmp", u".png", u".tif"}, kGreen},
      {u"c", {u".bmp", u".png"}, kBlue},
      {u"d", {u".bmp"}, kWhite},
      {u"e", {u".bmp", u".png", u".tif", u".jpg"}, kRed},
  };
  for (const Case& c : cases) {
    for (const char16_t* ext : c.extensions) {
      const std::u16string e = ext;
      files.Add(c.name + e, e == u".jpg"   ? Jpeg(kRed)
                            : e == u".tif" ? Tiff(kGreen)
                            : e == u".png" ? Png(4, 4, kBlue)
                                           : Bmp(kWhite));
    }
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::WideToUtf8(c.name));
    SampleSurface image = Load(c.name);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->GetBitCount(), 32u);
    EXPECT_TRUE(Near(PixelOf(image.get(), 1, 1), c.expected)) << std::hex << PixelOf(image.get(), 1, 1);
    EXPECT_EQ(TextScript::g_ImageHistory.Find(c.name), 1) << "recorded without folder or extension";
  }
}

TEST_F(ScriptImage, MissingImagesAreNullOnlyWhenAllowed) {
  files.Add(u"there.png", Png(2, 2, kBlue));
  EXPECT_FALSE(Load(u"none", true));
  EXPECT_EQ(TextScript::g_ImageHistory.Find(u"none"), 0) << "only found images are recorded";
  EXPECT_EQ(ErrorOf([&] { Load(u"none"); }), u"Script Error: file not found 'none'.");
  EXPECT_EQ(ErrorOf([&] { LoadScriptImage(nullptr, u"there", false, false); }),
            u"Script Error: file not found 'there'.");
  EXPECT_TRUE(Load(u"there", false, false));
  EXPECT_EQ(TextScript::g_ImageHistory.Find(u"there"), 0) << "not recorded without the flag";
}

TEST_F(ScriptImage, DamagedMembersRaiseTheirDecodeErrorNamingTheImage) {
  struct Case {
    std::u16string member;
    Bytes bytes;
    std::u16string error;
  };
  const Case cases[] = {
      {u"j.jpg", Text("not a jpeg"), u"Script Error: JPEG decode error 'j'."},
      {u"t.tif", Text("II*\0garbage"), u"Script Error: TIFF decode error 't'."},
      {u"b.bmp", Text("BM short"), u"Script Error: BMP decode error 'b'."},
      {u"e.bmp", Bytes(), u"Script Error: BMP decode error 'e'."},
      // The PNG keeps the surface loader's own text.
      {u"p.png", Text("\x89PNG broken"), u"LoadSurfaceArchive_Dx: file not found 'p.png'.\n"},
  };
  for (const Case& c : cases) files.Add(c.member, c.bytes);
  // A good picture of a later extension does not stand in for a damaged earlier one.
  files.Add(u"j.png", Png(2, 2, kBlue));
  for (const Case& c : cases) {
    SCOPED_TRACE(platform::WideToUtf8(c.member));
    const std::u16string name = c.member.substr(0, c.member.size() - 4);
    EXPECT_EQ(ErrorOf([&] { Load(name.c_str(), true); }), c.error);
    EXPECT_EQ(TextScript::g_ImageHistory.Find(name), 1) << "found, so recorded before the decode";
  }
}

TEST_F(ScriptImage, NamesLongerThanTheOldBufferLoad) {
  std::u16string name;
  while (name.size() < 300) name += u"folder1234/";
  name += u"picture";
  files.Add(name + u".png", Png(3, 2, kGreen));
  SampleSurface image = Load(name.c_str());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->GetWidth(), 3);
  EXPECT_EQ(TextScript::g_ImageHistory.Find(u"picture"), 1);
}

// Every box shown, as "box caption: text", in one log with the test's own lines.
class LoggedBoxes : public platform::MessageBoxService {
 public:
  explicit LoggedBoxes(std::vector<std::string>& log) : m_Log(log) { m_Prev = platform::SetMessageBoxService(this); }
  ~LoggedBoxes() override { platform::SetMessageBoxService(m_Prev); }
  platform::MsgResult Show(const platform::MessageBoxRequest& r) override {
    m_Log.push_back("box " + platform::WideToUtf8(r.caption) + ": " + platform::WideToUtf8(r.text));
    return platform::MsgResult::Ok;
  }

 private:
  std::vector<std::string>& m_Log;
  platform::MessageBoxService* m_Prev;
};

// The picture a load gave, as its size and a sum of its pixels, or the error it raised.
std::string Outcome(IArchive* archive, const char16_t* name, bool allowMissing) {
  try {
    SampleSurface image(LoadScriptImage(archive, name, allowMissing, true));
    if (!image) return "null";
    uint64_t sum = 0;
    for (int y = 0; y < image->GetAbsHeight(); ++y)
      for (int x = 0; x < image->GetWidth(); ++x) sum = sum * 31 + PixelOf(image.get(), x, y);
    return std::to_string(image->GetWidth()) + "x" + std::to_string(image->GetHeight()) + " " + std::to_string(sum);
  } catch (const ExceptionHandle& e) {
    return "error " + platform::WideToUtf8(e.m_Message);
  }
}

TEST_F(ScriptImage, APrefetchGivesThePlainLoadsPicturesBoxesAndErrorsInTheirOrder) {
  Bytes cut = Png(64, 64, kGreen);
  cut.resize(cut.size() - 20);  // the picture data breaks off: libpng's box, then the error
  files.Add(u"big.png", Png(300, 200, kRed, true, 10, 20, 250, 150));
  files.Add(u"cut.png", cut);
  files.Add(u"junk.png", Text("\x89PNG not one"));
  files.Add(u"j.jpg", Jpeg(kBlue));
  files.Add(u"bad.jpg", Text("not a jpeg"));
  files.Add(u"b.bmp", Bmp(kWhite));
  files.Add(u"t.tif", Tiff(kGreen));
  struct Load {
    const char16_t* name;
    bool allowMissing;
  };
  const Load loads[] = {{u"big", false},     {u"cut", false}, {u"missing", true}, {u"junk", false},
                        {u"j", false},       {u"bad", false}, {u"b", false},      {u"t", false},
                        {u"missing", false}, {u"cut", false}, {u"big", false}};
  std::vector<std::u16string> names;
  for (const Load& l : loads) names.push_back(l.name);

  auto run = [&](bool ahead) {
    std::vector<std::string> log;
    LoggedBoxes boxes(log);
    TextScript::g_ImageHistory.Clear();
    std::optional<ImagePrefetch> prefetch;
    if (ahead) prefetch.emplace(files.Get(), names);
    for (const Load& l : loads)
      log.push_back(platform::WideToUtf8(l.name) + ": " + Outcome(files.Get(), l.name, l.allowMissing));
    for (const char16_t* seen : {u"big", u"cut", u"missing", u"t"})
      log.push_back("history " + platform::WideToUtf8(seen) + " " +
                    std::to_string(TextScript::g_ImageHistory.Find(seen)));
    return log;
  };
  const std::vector<std::string> plain = run(false);
  ASSERT_EQ(std::count_if(plain.begin(), plain.end(), [](const std::string& l) { return l.starts_with("box"); }), 3)
      << "the cut picture twice and the junk once show libpng's box";
  EXPECT_EQ(run(true), plain);
}

TEST_F(ScriptImage, APrefetchedPictureIsGivenAgainOnlyOnceReleasedUnchanged) {
  files.Add(u"a.png", Png(4, 4, kRed));
  FolderArchive other;
  other.Add(u"a.png", Png(4, 4, kGreen));
  std::vector<std::string> log;
  LoggedBoxes boxes(log);
  {
    ImagePrefetch ahead(files.Get(), {u"a", u"a", u"gone"});
    // The member changes after the prefetch read it: a load that takes the prefetch still sees
    // the picture as it was, a load that does not sees the new one.
    files.Add(u"a.png", Png(4, 4, kBlue));
    EXPECT_EQ(RgbOf(Load(u"a").get(), 0, 0), kRed) << "taken from the prefetch";
    SampleSurface held = Load(u"a");
    EXPECT_EQ(RgbOf(held.get(), 0, 0), kRed) << "released, so given again";
    EXPECT_EQ(RgbOf(Load(u"a").get(), 0, 0), kBlue) << "not while another load holds it";
    held->Fill(nullptr, kWhite, 255);
    held.reset();
    EXPECT_EQ(RgbOf(Load(u"a").get(), 0, 0), kBlue) << "not once it was drawn on";
    EXPECT_EQ(RgbOf(SampleSurface(LoadScriptImage(other.Get(), u"a", false, false)).get(), 0, 0), kGreen)
        << "another archive's member of that name is not the prefetched one";
    EXPECT_FALSE(Load(u"gone", true));
  }
  {
    ImagePrefetch outer(files.Get(), {u"a"});
    auto inner = std::make_unique<ImagePrefetch>(files.Get(), std::vector<std::u16string>{u"a"});
    ImagePrefetch innermost(files.Get(), {u"a"});
    inner.reset();  // out of turn
    files.Add(u"a.png", Png(4, 4, kWhite));
    EXPECT_EQ(RgbOf(Load(u"a").get(), 0, 0), kBlue) << "the outer prefetch's picture";
  }
  EXPECT_EQ(RgbOf(Load(u"a").get(), 0, 0), kWhite) << "the prefetches went with their scopes";
  files.Add(u"b.png", Png(4, 4, kRed));
  HoldImagePrefetch(std::make_unique<ImagePrefetch>(files.Get(), std::vector<std::u16string>{u"b"}));
  files.Add(u"b.png", Png(4, 4, kGreen));
  EXPECT_EQ(RgbOf(Load(u"b", false, false).get(), 0, 0), kRed) << "held beyond its scope";
  DropHeldImagePrefetch();
  EXPECT_EQ(RgbOf(Load(u"b", false, false).get(), 0, 0), kGreen);
  ImagePrefetch nobodyTakes(files.Get(), {u"a"});
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(TextScript::g_ImageHistory.Find(u"b"), 0) << "only loads are recorded, never a prefetch";
}

TEST(PicturesNames, TheImagesOfBackgroundsCharacterScenesAndTheSavedScene) {
  using Names = std::vector<std::u16string>;
  EXPECT_EQ(BackgroundImages(u"ABC1020"), (Names{u"ABC0000", u"ABC1000", u"ABC0020"}));
  EXPECT_EQ(BackgroundImages(u"ABC000009"), (Names{u"ABC000000", u"ABC000009"}));
  EXPECT_EQ(BackgroundImages(u"ABC102"), Names{});
  EXPECT_EQ(CharacterImages(u"a010203"), (Names{u"H010000", u"a000200", u"a000003"}));
  EXPECT_EQ(CharacterImages(u"A000003"), (Names{u"A000003"}));
  EXPECT_EQ(CharacterImages(u"A00000"), Names{});

  struct Case {
    uint8_t background;
    const char16_t* backgroundName;
    uint8_t characters;
    const char16_t* charactersName;
    Names want;
  };
  const Case cases[] = {
      {SCENE_BG_BLACK, nullptr, SCENE_CHL_NONE, nullptr, {}},
      {SCENE_BG_WHITE, nullptr, SCENE_CHL_SHOWN, u"B000100", {u"B000100"}},
      {SCENE_BG_PICTURE, u"E011000", SCENE_CHL_NONE, nullptr, {u"E010000", u"E011000"}},
      {SCENE_BG_CHR,
       u"A010101",
       SCENE_CHL_SHOWN,
       u"C000102",
       {u"H010000", u"A000100", u"A000001", u"C000100", u"C000002"}},
  };
  for (const Case& c : cases) {
    SetSceneState(SCENE_BACKGROUND, c.background, c.backgroundName);
    SetSceneState(SCENE_CHARACTERS, c.characters, c.charactersName);
    EXPECT_EQ(ScenePictures(), c.want) << int(c.background);
  }
  ClearSceneStates();
}

TEST(PicturesAlbum, KeepsEachBaseOnceWithoutRegardToCase) {
  g_AlbumNames.reset();
  EXPECT_FALSE(IsInAlbum(u"H01")) << "no list";
  RecordAlbumName(u"H010000");  // no list: nothing to record in

  g_AlbumNames = std::make_unique<std::vector<std::string>>();
  EXPECT_FALSE(IsInAlbum(u"H01")) << "an empty list";
  for (const char16_t* name : {u"H010000", u"h011000", u"H01", u"H020000", u"H0A1020", u"h02000000"})
    RecordAlbumName(name);
  EXPECT_EQ(*g_AlbumNames, (std::vector<std::string>{"H01", "H02", "H0A"}));
  EXPECT_TRUE(IsInAlbum(u"h0a"));
  EXPECT_FALSE(IsInAlbum(u"H0"));
  EXPECT_FALSE(IsInAlbum(u"H010")) << "the base is the first three characters, whole";
  g_AlbumNames.reset();
}

// Backgrounds and character scenes composed on the scene's work image from the sample archive;
// nothing reaches the screen before the pending background is shown.
class Composition : public scripttest::SampleSceneTest {
 protected:
  void TearDown() override {
    g_ChrPositions.clear();
    g_ChlPositions.clear();
    g_SkipMode = 0;
    SampleSceneTest::TearDown();
  }
  SampleSurface Picture(const char16_t* name) {
    return SampleSurface(LoadScriptImage(archive.Get(), name, false, false));
  }
  // The first opaque pixel of the picture left of maxX, row by row.
  static platform::Point OpaquePixel(DxDraw::DxSurface* s, int maxX) {
    for (int y = 0; y < s->GetAbsHeight(); ++y)
      for (int x = 0; x < std::min(maxX, s->GetWidth()); ++x)
        if (PixelOf(s, x, y) >> 24 == 0) return platform::Point{x, y};
    return platform::Point{-1, -1};
  }
  uint64_t WorkImageSum() {
    uint64_t sum = 0;
    for (int y = 0; y < kSceneHeight; y += 3)
      for (int x = 0; x < kSceneWidth; x += 3) sum = sum * 31 + PixelOf(g_BackgroundSurface, x, y);
    return sum;
  }
  std::vector<std::u16string> BoxTexts() const {
    std::vector<std::u16string> texts;
    for (const platform::MessageBoxRequest& box : Boxes()) {
      EXPECT_EQ(box.caption, u"エラー");
      EXPECT_EQ(box.buttons, platform::MsgButtons::Ok);
      texts.push_back(box.text);
    }
    return texts;
  }
};

TEST_F(Composition, ABackgroundAndItsOverlayShowOnlyOnceTheyAreShown) {
  g_BackgroundState |= BACKGROUND_PENDING;
  GameSceneServices().DrawBackground(u"E011000");
  for (int i = 0; i < 3; ++i) WaitFrame();
  EXPECT_EQ(Front(100, 100), 0u) << "the black of the build is still shown";
  EXPECT_EQ(Front(400, 320), 0u);

  GameSceneServices().ShowPendingBackground();
  EXPECT_EQ(Front(100, 100), 0x1A2452u) << "the base's sky";
  EXPECT_EQ(Front(100, 320), 0x0C0C1Eu) << "the base's far bank";
  EXPECT_EQ(Front(400, 320), 0xF49A4Eu) << "the overlay's lantern";
  EXPECT_EQ(Front(400, 400), 0x2A1A14u) << "the overlay's lantern base";
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_EQ(TextScript::g_ImageHistory.Find(u"E010000"), 1);
  EXPECT_EQ(TextScript::g_ImageHistory.Find(u"E011000"), 1);
}

TEST_F(Composition, CharacterScenesUseTheColumnOfTheirKind) {
  g_ChrPositions = {{u'A', 100}, {u'*', 500}};
  g_ChlPositions = {{u'*', 300}, {u'A', 50}};
  SampleSurface place = Picture(u"H010000"), figure = Picture(u"A000100"), face = Picture(u"A000001");
  ASSERT_TRUE(place && figure && face);
  // The figure's pixel lies left of where the face starts.
  const platform::Point f = OpaquePixel(figure.get(), 200), e = OpaquePixel(face.get(), 400);
  ASSERT_GE(f.x, 0);
  ASSERT_GE(e.x, 0);

  g_BackgroundState |= BACKGROUND_PENDING;
  GameSceneServices().DrawCharacters(u"A010100", TextScript::STMT_CHR);
  // A lower-case letter finds the upper-case entry; the '*' first in the table wins.
  GameSceneServices().DrawCharacters(u"a000001", TextScript::STMT_CHL);
  WaitFrame();
  EXPECT_EQ(Front(100 + f.x, f.y), 0u) << "nothing before the show";

  GameSceneServices().ShowPendingBackground();
  EXPECT_EQ(Front(20, 20), PixelOf(place.get(), 20, 20) & 0xFFFFFF) << "the place at (0, 0)";
  EXPECT_EQ(Front(100 + f.x, f.y), PixelOf(figure.get(), f.x, f.y) & 0xFFFFFF) << "the figure at the CHR column";
  EXPECT_EQ(Front(300 + e.x, e.y), PixelOf(face.get(), e.x, e.y) & 0xFFFFFF) << "the face at the CHL column";
  EXPECT_EQ(TextScript::g_ImageHistory.Find(u"a000001"), 1) << "the image name keeps the letter as written";
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(Composition, NamesOfOtherLengthsAndEmptyFieldsDrawNothing) {
  const uint64_t black = WorkImageSum();
  for (const char16_t* name : {u"H01000", u"H0100000", u"H01", u"", u"H0100000000"}) {
    GameSceneServices().DrawBackground(name);
    EXPECT_EQ(WorkImageSum(), black) << platform::WideToUtf8(name);
  }
  for (const char16_t* name : {u"A000000", u"A01010", u"A0", u""}) {
    GameSceneServices().DrawCharacters(name, TextScript::STMT_CHR);
    EXPECT_EQ(WorkImageSum(), black) << platform::WideToUtf8(name);
  }
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_EQ(TextScript::g_ImageHistory.Find(u"A000000"), 0);

  // Only the place; a longer name reads its first seven characters.
  GameSceneServices().DrawCharacters(u"A010000", TextScript::STMT_CHR);
  const uint64_t place = WorkImageSum();
  GameSceneServices().DrawBackground(u"H010000");
  EXPECT_EQ(WorkImageSum(), place);
  GameSceneServices().DrawCharacters(u"A01000099", TextScript::STMT_CHL);
  EXPECT_EQ(WorkImageSum(), place);
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(Composition, MissingPicturesAreNamedInABoxAndTheRestIsComposed) {
  GameSceneServices().DrawBackground(u"H021000");
  const uint64_t withOverlay = WorkImageSum();
  ShowBlackBackground();
  GameSceneServices().DrawBackground(u"H021100");
  EXPECT_EQ(WorkImageSum(), withOverlay) << "the base and the overlay that exists";
  GameSceneServices().DrawBackground(u"Q990000");
  GameSceneServices().DrawCharacters(u"Z990102", TextScript::STMT_CHL);
  GameSceneServices().DrawCharacters(u"Z000100", TextScript::STMT_CHR);
  EXPECT_EQ(WorkImageSum(), withOverlay);
  EXPECT_EQ(BoxTexts(), (std::vector<std::u16string>{
                            u"GRP:画像ファイル H020100 がありません。",
                            u"GRP:画像ファイル Q990000 がありません。",
                            u"CHL:画像ファイル H990000 がありません。",
                            u"CHL:画像ファイル Z000100 がありません。",
                            u"CHL:画像ファイル Z000002 がありません。",
                            u"CHR:画像ファイル Z000100 がありません。",
                        }));
}

TEST_F(Composition, ASavedSceneRestoresThePictureAndBoxesOfItsCommands) {
  g_ChrPositions = {{u'A', 100}};
  g_ChlPositions = {{u'*', 300}};
  GameSceneServices().DrawCharacters(u"A010101", TextScript::STMT_CHR);
  GameSceneServices().DrawCharacters(u"Q010102", TextScript::STMT_CHL);  // its figure and face are missing
  const uint64_t composed = WorkImageSum();
  const std::vector<std::u16string> boxes = BoxTexts();
  ASSERT_EQ(boxes.size(), 2u);

  SetSceneState(SCENE_BACKGROUND, SCENE_BG_CHR, u"A010101");
  SetSceneState(SCENE_CHARACTERS, SCENE_CHL_SHOWN, u"Q010102");
  GameScene().BuildScene();
  ClearSceneStates();
  EXPECT_EQ(WorkImageSum(), composed);
  std::vector<std::u16string> twice = boxes;
  twice.insert(twice.end(), boxes.begin(), boxes.end());
  EXPECT_EQ(BoxTexts(), twice);
}

TEST_F(Composition, NineCharacterNamesAndPicturesOfAnyPlaceAndSize) {
  FolderArchive files;
  files.Add(u"N01000000.png", Png(1000, 700, kRed));  // larger than the work image
  files.Add(u"N01100000.png", Png(40, 40, kGreen, true, 0, 0, 20, 20));
  files.Add(u"N01000003.png", Png(40, 40, kBlue, true, 10, 0, 30, 10));
  files.Add(u"S010000.png", Png(10, 10, kGreen));  // smaller than the work image
  files.Add(u"X000100.png", Png(40, 20, kBlue));
  files.Add(u"Y000100.png", Png(40, 20, kWhite));
  g_ScriptArchive = files.Get();
  g_ChlPositions = {{u'X', 780}, {u'Y', -30}};

  GameSceneServices().DrawBackground(u"N01100003");
  EXPECT_EQ(RgbOf(g_BackgroundSurface, 5, 15), kGreen) << "the first overlay";
  EXPECT_EQ(RgbOf(g_BackgroundSurface, 15, 5), kBlue) << "the later overlay over the earlier";
  EXPECT_EQ(RgbOf(g_BackgroundSurface, 25, 15), kRed) << "the base where the overlays are transparent";
  EXPECT_EQ(RgbOf(g_BackgroundSurface, 799, 599), kRed);

  GameSceneServices().DrawBackground(u"S010000");
  EXPECT_EQ(RgbOf(g_BackgroundSurface, 5, 5), kGreen);
  EXPECT_EQ(RgbOf(g_BackgroundSurface, 15, 5), kBlue) << "a small base leaves the rest as it was";
  // Figures past the right and the left edge are cut there.
  GameSceneServices().DrawCharacters(u"X000100", TextScript::STMT_CHL);
  GameSceneServices().DrawCharacters(u"Y000100", TextScript::STMT_CHL);
  EXPECT_EQ(RgbOf(g_BackgroundSurface, 790, 10), kBlue);
  EXPECT_EQ(RgbOf(g_BackgroundSurface, 799, 19), kBlue);
  EXPECT_EQ(RgbOf(g_BackgroundSurface, 0, 0), kWhite);
  EXPECT_EQ(RgbOf(g_BackgroundSurface, 9, 19), kWhite);
  EXPECT_EQ(RgbOf(g_BackgroundSurface, 10, 15), kGreen) << "the first overlay beside the figure";
  EXPECT_TRUE(BoxTexts().empty());
  g_ScriptArchive = archive.Get();
}

// The CG viewer runs outside a scenario: the sample services without a scene.
class CgViewer : public scripttest::SampleGameTest {
 protected:
  void SetUp() override { ASSERT_TRUE(InstallSampleServices()) << "the sample data in " VARN_BINARY_DIR "/data"; }
  void TearDown() override { RemoveSampleServices(); }
  size_t ScreenChildren() const {
    size_t n = 0;
    for (ssView* c = stack.screen->GetFirstChild(); c; c = stack.screen->GetNextSibling(c)) ++n;
    return n;
  }
};

TEST_F(CgViewer, ShowsThePictureAboveEverythingUntilAMouseButton) {
  struct Case {
    int button;
    int result;
  };
  for (const Case c : {Case{0, 1}, Case{1, 0}}) {
    SCOPED_TRACE(c.button);
    const size_t before = ScreenChildren();
    const uint64_t start = frames;
    uint32_t shown = 0, lantern = 0;
    reader = [&](uint64_t f) {
      if (f == start + 2) {
        shown = Front(100, 100);
        lantern = Front(400, 320);
        stack.input->TapKey(platform::DIK_RETURN);  // keys do not end it
      }
      if (f == start + 4) stack.input->TapKey(platform::DIK_ESCAPE);
      if (f == start + 6) stack.input->TapButton(c.button);
    };
    EXPECT_EQ(ShowCgImage(u"E011000"), c.result);
    reader = nullptr;
    EXPECT_EQ(frames - start, 7u) << "the press is seen in the frame after the tap";
    EXPECT_EQ(shown, 0x1A2452u);
    EXPECT_EQ(lantern, 0xF49A4Eu);
    EXPECT_EQ(ScreenChildren(), before) << "the picture left the screen";
    WaitFrame();
    EXPECT_EQ(Front(100, 100), 0u);
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(CgViewer, ATransferRaisedWhileItWaitsTakesThePictureAway) {
  const size_t before = ScreenChildren();
  reader = [&](uint64_t) { g_TransferRequest = 1; };
  int code = -1;
  try {
    ShowCgImage(u"E010000");
  } catch (const ScriptException& e) {
    code = e.m_Code;
  }
  reader = nullptr;
  g_TransferRequest = 0;
  EXPECT_EQ(code, 0) << "the return to the title";
  EXPECT_EQ(ScreenChildren(), before);
}

TEST_F(CgViewer, AMissingPictureIsNamedAndTheViewerStillWaits) {
  reader = [&](uint64_t) { stack.input->TapButton(1); };
  EXPECT_EQ(ShowCgImage(u"Q991000"), 0);
  reader = nullptr;
  ASSERT_EQ(Boxes().size(), 2u);
  EXPECT_EQ(Boxes()[0].text, u"CG-MODE:画像ファイル Q990000 がありません。");
  EXPECT_EQ(Boxes()[1].text, u"CG-MODE:画像ファイル Q991000 がありません。");
  EXPECT_EQ(Boxes()[1].caption, u"エラー");
}

}  // namespace
