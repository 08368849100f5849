// The message window and its open and close tasks.
#include "textscript/messwindow.h"

#include <memory>

#include "lib/act.h"
#include "lib/error.h"
#include "textscript/framewait.h"

namespace TextScript {

DxMessWindow::DxMessWindow(int32_t width, int32_t height, int32_t left, int32_t right, int32_t top, int32_t bottom,
                           int32_t antialiased) {
  const int64_t innerWidth = int64_t(width) - left - right;
  const int64_t innerHeight = int64_t(height) - top - bottom;
  if (width <= 0 || height <= 0 || left < 0 || right < 0 || top < 0 || bottom < 0 || innerWidth <= 0 ||
      innerHeight <= 0 || width > 0x7FFF || height > 0x7FFF)
    ThrowException(u"messwindow", __LINE__, 0, 0, u"DxMessWindow: margins %d, %d, %d, %d do not fit %d x %d", left,
                   right, top, bottom, width, height);
  m_Width = static_cast<int16_t>(width);
  m_Height = static_cast<int16_t>(height);

  auto* background = new DxDraw::DxSurfaceSprite32(width, height);
  background->m_Params.mode = 2;
  background->m_Params.level = 128;
  background->DxDraw::DxSurface32::Fill(nullptr, 0, 255);
  AddChild(background);
  m_pBackground = background;

  auto* view = new DxMessView2(static_cast<int32_t>(innerWidth), static_cast<int32_t>(innerHeight));
  view->SetPosition(left, top);
  view->SetTextOrigin(0, 0);
  AddChild(view);
  m_pView = view;
  if (antialiased) view->SetStyleFlags(view->GetStyleFlags() | DxDraw::TEXT_ANTIALIAS);
  m_EffectStyle = 0;
}

uint32_t DxMessWindow::OnMessage(uint32_t msg, intptr_t a, intptr_t b) {
  return DxDrawGroup::OnMessage(msg, a, b);
}

namespace {

DxMessWindow* WindowOf(ACT* act) {
  return reinterpret_cast<DxMessWindow*>(act->m_User);
}

// Every effect style takes effect at once: no style of this system animates, and a task that
// never finished would hold its waiter for ever.
int32_t OpenProc(ACT* act, uint32_t message, uintptr_t, uintptr_t) {
  if (message != ACTMSG_CREATE) return 0;
  DxMessWindow* window = WindowOf(act);
  act->m_Result = ACT_RESULT_DONE;
  if (!window || window->IsShown()) return 0;
  window->Show();
  if (window->m_pView) window->m_pView->Show();
  return 0;
}

int32_t CloseProc(ACT* act, uint32_t message, uintptr_t, uintptr_t) {
  if (message != ACTMSG_CREATE) return 0;
  DxMessWindow* window = WindowOf(act);
  act->m_Result = ACT_RESULT_DONE;
  if (!window || !window->IsShown()) return 0;
  window->Hide();
  return 0;
}

struct TaskFree {
  void operator()(ACT* act) const {
    if (act) FreeACT(act);
  }
};

}  // namespace

ACT* StartMessageWindowOpen(DxMessWindow* window) {
  return MakeACT(OpenProc, reinterpret_cast<uintptr_t>(window));
}

ACT* StartMessageWindowClose(DxMessWindow* window) {
  return MakeACT(CloseProc, reinterpret_cast<uintptr_t>(window));
}

void CloseMessageWindowAndWait(DxMessWindow* window) {
  std::unique_ptr<ACT, TaskFree> task(StartMessageWindowClose(window));
  IMessageFrame* frame = GetMessageFrame();
  while (task->m_Result != ACT_RESULT_DONE) {
    RunACT(task.get());
    frame->WaitFrame();
  }
}

}  // namespace TextScript
