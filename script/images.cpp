// Pictures by name: the extension order, the decoders and their error texts; backgrounds, character
// scenes and the CG viewer composed from them; the album record.
#include "script/images.h"

#include <algorithm>
#include <condition_variable>
#include <cwctype>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/frame/framestep.h"
#include "archive/archive.h"
#include "dxdraw/image.h"
#include "dxdraw/sprite.h"
#include "dxdraw/surface.h"
#include "lib/combase.h"
#include "lib/error.h"
#include "lib/sjis.h"
#include "lib/wstring.h"
#include "platform/msgbox.h"
#include "platform/thread.h"
#include "script/layout.h"
#include "script/scenario.h"
#include "script/scene.h"
#include "textscript/filehist.h"
#include "textscript/inputbits.h"
#include "textscript/statement.h"

IArchive* g_ScriptArchive = nullptr;

namespace {

constexpr const char16_t* kSource = u"script/scr_gui";

[[noreturn]] void RaiseImageError(const char16_t* format, const std::u16string& name) {
  ThrowException(kSource, __LINE__, 0, 0, format, name.c_str());
}

bool MemberExists(IArchive* archive, const std::u16string& name) {
  return archive && archive->Exists(name);
}

// A 32-bit surface converted from a packed bitmap; null when the bitmap does not convert.
DxDraw::DxSurface* SurfaceFromDib(const DxDraw::PackedDib& dib) {
  if (dib.empty()) return nullptr;
  DxDraw::DxSurface* surface = DxDraw::CreateSurface(32);
  if (!surface->CopyFromDib(dib.bytes.data(), dib.bytes.size())) {
    surface->Release();
    return nullptr;
  }
  return surface;
}

using Decoder = DxDraw::PackedDib (*)(const uint8_t*, size_t);

struct Kind {
  const char16_t* extension;
  Decoder decode;  // null: the surface loader's own reading
  const char16_t* errorFormat;
  bool threads;  // its decoder may run off the main thread
};

// The extensions in the order they are tried.
const Kind kKinds[] = {
    {u".jpg", DxDraw::LoadJpegToDib, u"Script Error: JPEG decode error '%s'.", true},
    {u".tif", DxDraw::LoadTiffToDib, u"Script Error: TIFF decode error '%s'.", false},
    {u".png", nullptr, nullptr, true},
    {u".bmp", DxDraw::LoadBmpToDib, u"Script Error: BMP decode error '%s'.", true},
};

// The first kind whose member exists, or null.
const Kind* FindMember(IArchive* archive, const std::u16string& base, std::u16string* member) {
  for (const Kind& kind : kKinds) {
    *member = base + kind.extension;
    if (MemberExists(archive, *member)) return &kind;
  }
  return nullptr;
}

// A member already read, decoded as its kind: the surface, or null when it does not decode.
DxDraw::DxSurface* DecodeRead(const Kind& kind, const uint8_t* data, uint32_t size) {
  if (!data || !size) return nullptr;
  if (!kind.decode) return DxDraw::LoadSurfaceMemory_Dx(data, size);
  return SurfaceFromDib(kind.decode(data, size));
}

// The member read whole and decoded; the decode error names the image without its extension.
DxDraw::DxSurface* DecodeMember(IArchive* archive, const std::u16string& member, const std::u16string& base,
                                const Kind& kind) {
  uint32_t size = 0;
  ArchiveBuffer data(static_cast<uint8_t*>(ReadArchiveFile(archive, member, nullptr, &size)));
  DxDraw::DxSurface* surface = DecodeRead(kind, data.get(), size);
  if (!surface) RaiseImageError(kind.errorFormat, base);
  return surface;
}

// The load's error for a member that did not decode.
[[noreturn]] void RaiseNotDecoded(const Kind& kind, const std::u16string& member, const std::u16string& base) {
  if (!kind.decode) DxDraw::ThrowSurfaceNotLoaded(member.c_str());
  RaiseImageError(kind.errorFormat, base);
}

// One picture of a prefetch. The main thread fills in the member and its bytes before any worker
// runs; after that the stage and the result are read and written under the prefetch's lock.
struct Prefetched {
  // Done: decoded, the picture (when it decoded) free to give; Taken: not to be given again.
  enum Stage { Queued, Decoding, Done, Taken };
  std::u16string base, member;
  const Kind* kind = nullptr;
  ArchiveBuffer data;
  uint32_t size = 0;
  Stage stage = Queued;
  DxDraw::DxSurface* surface = nullptr;  // the prefetch's own reference
  std::vector<platform::MessageBoxRequest> boxes;
  std::exception_ptr error;

  // Decodes on the calling thread, keeping the decoder's boxes.
  void Decode() {
    DxDraw::KeptDecoderBoxes kept;
    try {
      surface = DecodeRead(*kind, data.get(), size);
    } catch (...) {
      error = std::current_exception();
    }
    boxes = kept.Take();
    data.reset();
  }
};

// The innermost prefetch alive (each keeps the one it was made inside).
ImagePrefetch::State* g_Prefetch = nullptr;
// The saved scene's pictures, kept from the restore to the first picture shown.
std::unique_ptr<ImagePrefetch> g_HeldPrefetch;

constexpr size_t kMaxPrefetchWorkers = 3;

}  // namespace

struct ImagePrefetch::State {
  ComRef<IArchive> archive;
  std::vector<std::unique_ptr<Prefetched>> pictures;
  std::mutex lock;
  std::condition_variable decoded;
  size_t next = 0;  // the first picture no one has claimed yet
  bool stopping = false;
  std::vector<std::unique_ptr<platform::Thread>> workers;
  State* outer = nullptr;

  // The picture of this member that can be given, in this prefetch or an enclosing one (its
  // owner). A picture already given is given again only once every taker has let it go and none
  // has drawn on it, so that each load still has a picture of its own, as decoded.
  Prefetched* Find(IArchive* in, const std::u16string& member, State** owner) {
    for (State* p = this; p; p = p->outer) {
      if (p->archive.Get() != in) continue;
      for (const auto& picture : p->pictures) {
        if (picture->member != member) continue;
        std::lock_guard<std::mutex> guard(p->lock);
        if (picture->stage == Prefetched::Taken) continue;
        if (picture->stage == Prefetched::Done && picture->surface &&
            (picture->surface->GetRefCount() != 1 || !picture->surface->GetUpdateRect().IsEmpty()))
          continue;
        *owner = p;
        return picture.get();
      }
    }
    return nullptr;
  }

  // The next picture no one has claimed, marked as being decoded; null when none is left.
  Prefetched* Claim() {
    while (next < pictures.size() && pictures[next]->stage != Prefetched::Queued) ++next;
    if (stopping || next == pictures.size()) return nullptr;
    pictures[next]->stage = Prefetched::Decoding;
    return pictures[next++].get();
  }

  void Work() {
    std::unique_lock<std::mutex> guard(lock);
    while (Prefetched* picture = Claim()) {
      guard.unlock();
      picture->Decode();
      guard.lock();
      picture->stage = Prefetched::Done;
      decoded.notify_all();
    }
  }

  // Waits for the picture (decoding it here when no worker has claimed it). A picture that did
  // not decode is taken for good: its boxes and its error belong to this load.
  void Take(Prefetched& picture) {
    std::unique_lock<std::mutex> guard(lock);
    if (picture.stage == Prefetched::Queued) {
      picture.stage = Prefetched::Decoding;
      guard.unlock();
      picture.Decode();
      guard.lock();
    } else {
      decoded.wait(guard, [&] { return picture.stage != Prefetched::Decoding; });
    }
    picture.stage = picture.surface ? Prefetched::Done : Prefetched::Taken;
  }

  // Takes this prefetch out of the chain of those alive, wherever it is in it.
  void Unlink() {
    for (State** p = &g_Prefetch; *p; p = &(*p)->outer)
      if (*p == this) {
        *p = outer;
        return;
      }
  }
};

ImagePrefetch::ImagePrefetch(IArchive* archive, const std::vector<std::u16string>& names)
    : m_pState(std::make_unique<State>()) {
  State& state = *m_pState;
  state.archive = ComRef<IArchive>(archive ? archive->GetSelf() : nullptr);
  if (archive) {
    for (const std::u16string& base : names) {
      std::u16string member;
      const Kind* kind = FindMember(archive, base, &member);
      if (!kind || !kind->threads) continue;
      State* owner = nullptr;
      if (g_Prefetch && g_Prefetch->Find(archive, member, &owner)) continue;
      bool listed = false;
      for (const auto& picture : state.pictures) listed = listed || picture->member == member;
      if (listed) continue;
      auto picture = std::make_unique<Prefetched>();
      picture->base = base;
      picture->member = std::move(member);
      picture->kind = kind;
      picture->data.reset(static_cast<uint8_t*>(ReadArchiveFile(archive, picture->member, nullptr, &picture->size)));
      state.pictures.push_back(std::move(picture));
    }
  }
  const size_t workers = std::min(state.pictures.size(), kMaxPrefetchWorkers);
  for (size_t i = 0; i < workers; ++i) {
    auto worker = std::make_unique<platform::Thread>();
    // A worker that does not start leaves its pictures to the others, or to the loads themselves.
    if (worker->Start([&state] { state.Work(); })) state.workers.push_back(std::move(worker));
  }
  state.outer = g_Prefetch;
  g_Prefetch = &state;
}

ImagePrefetch::~ImagePrefetch() {
  State& state = *m_pState;
  state.Unlink();
  {
    std::lock_guard<std::mutex> guard(state.lock);
    state.stopping = true;
  }
  for (const auto& worker : state.workers) worker->Join();
  for (const auto& picture : state.pictures)
    if (picture->surface) picture->surface->Release();
}

void HoldImagePrefetch(std::unique_ptr<ImagePrefetch> prefetch) {
  g_HeldPrefetch = std::move(prefetch);
}

void DropHeldImagePrefetch() {
  g_HeldPrefetch.reset();
}

DxDraw::DxSurface* LoadScriptImage(IArchive* archive, const char16_t* name, bool allowMissing, bool record) {
  const std::u16string base = name ? name : u"";
  std::u16string member;
  const Kind* kind = FindMember(archive, base, &member);
  if (!kind) {
    if (allowMissing) return nullptr;
    RaiseImageError(u"Script Error: file not found '%s'.", base);
  }
  if (record) TextScript::RecordImageHistory(member);
  ImagePrefetch::State* owner = nullptr;
  if (Prefetched* picture = g_Prefetch ? g_Prefetch->Find(archive, member, &owner) : nullptr) {
    owner->Take(*picture);
    if (picture->surface) {
      picture->surface->AddRef();
      return picture->surface;
    }
    for (const platform::MessageBoxRequest& box : picture->boxes) platform::ShowMessageBox(box);
    if (picture->error) std::rethrow_exception(picture->error);
    RaiseNotDecoded(*kind, member, base);
  }
  if (!kind->decode) return DxDraw::LoadSurfaceArchive_Dx(archive, member.c_str());
  return DecodeMember(archive, member, base, *kind);
}

namespace {

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(wint_t(a[i])) != std::towlower(wint_t(b[i]))) return false;
  }
  return true;
}

}  // namespace

bool IsInAlbum(const char16_t* base) {
  if (!g_AlbumNames || !base) return false;
  for (const std::string& entry : *g_AlbumNames) {
    if (EqualsNoCase(SjisToWide(entry), base)) return true;
  }
  return false;
}

void RecordAlbumName(const char16_t* name) {
  if (!g_AlbumNames || !name) return;
  const std::u16string base = std::u16string(name).substr(0, 3);
  if (!IsInAlbum(base.c_str())) g_AlbumNames->push_back(WideToSjis(base));
}

namespace {

struct SurfaceRelease {
  void operator()(DxDraw::DxSurface* s) const {
    if (s) s->Release();
  }
};
using SurfaceHolder = std::unique_ptr<DxDraw::DxSurface, SurfaceRelease>;

struct ViewRelease {
  void operator()(ssView* v) const {
    if (v) v->Release();
  }
};

// Copies the image onto target with its left edge at x, keeping target where the image is
// transparent; a missing image is named in a box and passed over.
void ComposeImage(DxDraw::DxSurface* target, const char16_t* label, const std::u16string& image, int32_t x) {
  SurfaceHolder picture(LoadScriptImage(g_ScriptArchive, image.c_str(), true, true));
  if (!picture) {
    platform::ShowMessageBox(FormatWide(u"%s:画像ファイル %s がありません。", label, image.c_str()), u"エラー",
                             platform::MsgButtons::Ok);
    return;
  }
  BltParams params;
  params.mode = kBltSrcAlpha;
  const platform::Rect whole = picture->Bounds();
  target->Blt(x, 0, picture.get(), &whole, nullptr, &params);
}

// Composes the images in their order, each at its column; more than one are decoded ahead.
void ComposeImages(DxDraw::DxSurface* target, const char16_t* label, const std::vector<std::u16string>& images,
                   const std::vector<int32_t>& columns) {
  std::optional<ImagePrefetch> ahead;
  if (images.size() > 1) ahead.emplace(g_ScriptArchive, images);
  for (size_t i = 0; i < images.size(); ++i) ComposeImage(target, label, images[i], columns[i]);
}

// The column of a character's letter: the first entry for the letter (upper-cased) or for any.
int32_t CharacterColumn(const std::vector<CHARPOS>& table, char16_t letter) {
  const char16_t upper = static_cast<char16_t>(std::towupper(wint_t(letter)));
  for (const CHARPOS& entry : table)
    if (entry.letter == upper || entry.letter == u'*') return entry.x;
  return 0;
}

// Which of a character scene's images are drawn: the picture, the figure, the face.
struct CharacterParts {
  std::u16string picture, figure, face;  // empty: not drawn
};

CharacterParts PartsOf(std::u16string_view scene) {
  CharacterParts parts;
  if (scene.size() < 7) return parts;
  const std::u16string letter(1, scene[0]);
  const std::u16string place(scene.substr(1, 2)), figure(scene.substr(3, 2)), face(scene.substr(5, 2));
  if (place != u"00") parts.picture = u"H" + place + u"0000";
  if (figure != u"00") parts.figure = letter + u"00" + figure + u"00";
  if (face != u"00") parts.face = letter + u"0000" + face;
  return parts;
}

void ComposeBackground(DxDraw::DxSurface* target, const char16_t* label, std::u16string_view name) {
  const std::vector<std::u16string> images = BackgroundImages(name);
  ComposeImages(target, label, images, std::vector<int32_t>(images.size(), 0));
}

}  // namespace

std::vector<std::u16string> BackgroundImages(std::u16string_view name) {
  constexpr size_t kBaseLength = 3;
  std::vector<std::u16string> images;
  if (name.size() != kBaseLength + 4 && name.size() != kBaseLength + 6) return images;
  const size_t positions = name.size() - kBaseLength;
  const std::u16string empty = std::u16string(name.substr(0, kBaseLength)) + std::u16string(positions, u'0');
  images.push_back(empty);
  for (size_t p = kBaseLength; p < name.size(); ++p) {
    if (name[p] == u'0') continue;
    std::u16string overlay = empty;
    overlay[p] = name[p];
    images.push_back(std::move(overlay));
  }
  return images;
}

std::vector<std::u16string> CharacterImages(std::u16string_view name) {
  const CharacterParts parts = PartsOf(name);
  std::vector<std::u16string> images;
  for (const std::u16string* image : {&parts.picture, &parts.figure, &parts.face})
    if (!image->empty()) images.push_back(*image);
  return images;
}

std::vector<std::u16string> ScenePictures() {
  std::vector<std::u16string> images, more;
  std::u16string name;
  const SCENESTATE& background = g_SceneState[SCENE_BACKGROUND];
  if (background.m_State == SCENE_BG_PICTURE && GetSceneStateName(background, &name)) images = BackgroundImages(name);
  if (background.m_State == SCENE_BG_CHR && GetSceneStateName(background, &name)) images = CharacterImages(name);
  const SCENESTATE& characters = g_SceneState[SCENE_CHARACTERS];
  if (characters.m_State != SCENE_CHL_NONE && GetSceneStateName(characters, &name)) more = CharacterImages(name);
  images.insert(images.end(), more.begin(), more.end());
  return images;
}

void DrawBackground(const char16_t* name) {
  if (!g_BackgroundSurface || !name) return;
  ComposeBackground(g_BackgroundSurface, u"GRP", name);
}

void DrawCharacters(const char16_t* name, int32_t kind) {
  if (!g_BackgroundSurface || !name) return;
  const CharacterParts parts = PartsOf(name);
  const bool chr = kind == TextScript::STMT_CHR;
  const char16_t* label = chr ? u"CHR" : u"CHL";
  const int32_t x = CharacterColumn(chr ? g_ChrPositions : g_ChlPositions, name[0]);
  std::vector<std::u16string> images;
  std::vector<int32_t> columns;
  if (!parts.picture.empty()) images.push_back(parts.picture), columns.push_back(0);
  if (!parts.figure.empty()) images.push_back(parts.figure), columns.push_back(x);
  if (!parts.face.empty()) images.push_back(parts.face), columns.push_back(x);
  ComposeImages(g_BackgroundSurface, label, images, columns);
}

int ShowCgImage(const char16_t* name) {
  if (!g_Frame.screen)
    ThrowException(kSource, __LINE__, 0, 0, u"CG-MODE: no screen to show '%s' on", name ? name : u"");
  SurfaceHolder image(DxDraw::CreateSurface(32));
  if (!image->Create(kSceneWidth, kSceneHeight))
    ThrowException(kSource, __LINE__, 0, 0, u"CG-MODE: cannot create a %dx%d image", kSceneWidth, kSceneHeight);
  image->Fill(nullptr, 0x000000, 255);
  ComposeBackground(image.get(), u"CG-MODE", name ? name : u"");

  // Declared after the image, so the sprite leaves the screen before its image goes.
  std::unique_ptr<DxDraw::DxSprite, ViewRelease> sprite(new DxDraw::DxSprite(image.get(), nullptr, 0));
  g_Frame.screen->AddChild(sprite.get());
  WaitFrame();
  for (;;) {
    if (g_Input.pressed & INPUT_LBUTTON) return 1;
    if (g_Input.pressed & INPUT_RBUTTON) return 0;
    WaitFrame();
  }
}
