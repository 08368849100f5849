// The control state of an open dialog and the events the user's actions produce.
#include "platform/dialog_state.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "platform/utf.h"

namespace platform {

namespace {

bool IsFocusable(ControlType t) {
  switch (t) {
    case ControlType::Static:
    case ControlType::GroupBox:
    case ControlType::Picture:
      return false;
    default:
      return true;
  }
}

// A whole decimal number with an optional sign; nullopt for anything else or out of range.
std::optional<int32_t> ParseInt(const std::u16string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  if (i == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
    value = value * 10 + (text[i] - u'0');
    if (value > int64_t(INT32_MAX) + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return int32_t(value);
}

}  // namespace

DialogState::DialogState(const DialogTemplate& dialog) : m_Template(dialog), m_Caption(dialog.caption) {
  m_Controls.reserve(dialog.controls.size());
  for (const ControlTemplate& c : dialog.controls) {
    ControlState s;
    s.tpl = c;
    s.text = c.text;
    s.maxLength = c.maxLength;
    if (s.maxLength > 0 && static_cast<int32_t>(s.text.size()) > s.maxLength) s.text.resize(size_t(s.maxLength));
    m_Controls.push_back(std::move(s));
  }
}

ControlState* DialogState::Find(uint32_t id) {
  for (auto& c : m_Controls)
    if (c.tpl.id == id) return &c;
  return nullptr;
}

const ControlState* DialogState::Find(uint32_t id) const {
  return const_cast<DialogState*>(this)->Find(id);
}

void DialogState::Note(const char* op, uint32_t id, const std::string& detail) {
  std::string line = op;
  if (id) line += " " + std::to_string(id);
  if (!detail.empty()) line += " " + detail;
  m_Log.push_back(std::move(line));
}

void DialogState::SetCaption(const std::u16string& caption) {
  m_Caption = caption;
  Note("SetCaption", 0, WideToUtf8(caption));
}

void DialogState::SetText(uint32_t id, const std::u16string& text) {
  Note("SetText", id, WideToUtf8(text));
  // An edit's limit holds the user's typing only: a text the procedure sets is kept whole,
  // so a longer name shown and confirmed unchanged comes back unchanged.
  if (ControlState* c = Find(id)) c->text = text;
}

std::u16string DialogState::GetText(uint32_t id) const {
  const ControlState* c = Find(id);
  if (!c) return {};
  if ((c->tpl.type == ControlType::ComboBox || c->tpl.type == ControlType::ListBox) && c->selection >= 0)
    return c->lines[size_t(c->selection)];
  return c->text;
}

void DialogState::SetLimit(uint32_t id, int32_t maxLength) {
  Note("SetLimit", id, std::to_string(maxLength));
  if (ControlState* c = Find(id)) c->maxLength = std::max(0, maxLength);
}

void DialogState::ClearRadioGroup(size_t index) {
  // The group runs from the nearest groupStart at or before index to the next groupStart.
  size_t first = index;
  while (first > 0 && !m_Controls[first].tpl.groupStart) --first;
  for (size_t i = first; i < m_Controls.size(); ++i) {
    if (i != first && m_Controls[i].tpl.groupStart) break;
    if (i != index && m_Controls[i].tpl.type == ControlType::RadioButton) m_Controls[i].checked = false;
  }
}

void DialogState::SetCheck(uint32_t id, bool checked) {
  Note("SetCheck", id, checked ? "1" : "0");
  ControlState* c = Find(id);
  if (!c) return;
  c->checked = checked;
  if (checked && c->tpl.type == ControlType::RadioButton) ClearRadioGroup(size_t(c - m_Controls.data()));
}

bool DialogState::IsChecked(uint32_t id) const {
  const ControlState* c = Find(id);
  return c && c->checked;
}

void DialogState::SetRange(uint32_t id, int32_t min, int32_t max) {
  Note("SetRange", id, std::to_string(min) + " " + std::to_string(max));
  if (ControlState* c = Find(id)) {
    if (max < min) std::swap(min, max);
    c->min = min;
    c->max = max;
    c->pos = std::clamp(c->pos, min, max);
  }
}

void DialogState::SetPageSize(uint32_t id, int32_t page) {
  Note("SetPageSize", id, std::to_string(page));
  if (ControlState* c = Find(id)) c->page = std::max(1, page);
}

void DialogState::SetPosition(uint32_t id, int32_t position) {
  Note("SetPosition", id, std::to_string(position));
  ControlState* c = Find(id);
  if (!c) return;
  c->pos = std::clamp(position, c->min, c->max);
  if (c->tpl.type == ControlType::UpDown && c->tpl.buddy) {
    if (ControlState* b = Find(c->tpl.buddy)) b->text = Utf8ToWide(std::to_string(c->pos));
  }
}

int32_t DialogState::GetPosition(uint32_t id) const {
  const ControlState* c = Find(id);
  return c ? c->pos : 0;
}

void DialogState::Enable(uint32_t id, bool enabled) {
  Note("Enable", id, enabled ? "1" : "0");
  if (ControlState* c = Find(id)) c->enabled = enabled;
}

bool DialogState::IsEnabled(uint32_t id) const {
  const ControlState* c = Find(id);
  return c && c->enabled;
}

void DialogState::Show(uint32_t id, bool shown) {
  Note("Show", id, shown ? "1" : "0");
  if (ControlState* c = Find(id)) c->shown = shown;
}

bool DialogState::IsShown(uint32_t id) const {
  const ControlState* c = Find(id);
  return c && c->shown;
}

void DialogState::ClearLines(uint32_t id) {
  Note("ClearLines", id);
  if (ControlState* c = Find(id)) {
    c->lines.clear();
    c->selection = -1;
  }
}

int32_t DialogState::AddLine(uint32_t id, const std::u16string& line) {
  Note("AddLine", id, WideToUtf8(line));
  ControlState* c = Find(id);
  if (!c) return -1;
  c->lines.push_back(line);
  return static_cast<int32_t>(c->lines.size() - 1);
}

int32_t DialogState::LineCount(uint32_t id) const {
  const ControlState* c = Find(id);
  return c ? static_cast<int32_t>(c->lines.size()) : 0;
}

std::u16string DialogState::GetLine(uint32_t id, int32_t index) const {
  const ControlState* c = Find(id);
  if (!c || index < 0 || index >= static_cast<int32_t>(c->lines.size())) return {};
  return c->lines[size_t(index)];
}

void DialogState::SelectLine(uint32_t id, int32_t index) {
  Note("SelectLine", id, std::to_string(index));
  ControlState* c = Find(id);
  if (!c) return;
  c->selection = (index >= 0 && index < static_cast<int32_t>(c->lines.size())) ? index : -1;
}

int32_t DialogState::GetSelection(uint32_t id) const {
  const ControlState* c = Find(id);
  return c ? c->selection : -1;
}

void DialogState::SetPicture(uint32_t id, const uint8_t* bgr, int32_t width, int32_t height, int32_t pitch) {
  Note("SetPicture", id, std::to_string(width) + "x" + std::to_string(height));
  ControlState* c = Find(id);
  if (!c) return;
  c->picture.clear();
  c->pictureWidth = c->pictureHeight = 0;
  ++c->pictureRevision;
  if (!bgr || width <= 0 || height <= 0 || pitch < width * 3) return;
  c->picture.resize(size_t(width) * size_t(height) * 3);
  for (int32_t y = 0; y < height; ++y)
    std::copy_n(bgr + size_t(y) * size_t(pitch), size_t(width) * 3, c->picture.data() + size_t(y) * size_t(width) * 3);
  c->pictureWidth = width;
  c->pictureHeight = height;
}

void DialogState::SetFocus(uint32_t id) {
  Note("SetFocus", id);
  if (Find(id)) m_Focus = id;
}

uint32_t DialogState::GetFocus() const {
  return m_Focus;
}

void DialogState::End(int32_t result) {
  Note("End", 0, std::to_string(result));
  if (m_Ended) return;
  m_Ended = true;
  m_Result = result;
}

bool DialogState::Usable(uint32_t id) const {
  const ControlState* c = Find(id);
  return c && c->enabled && c->shown;
}

void DialogState::Deliver(const DialogProcedure& proc, const DialogEvent& event) {
  if (m_Ended) return;
  const bool handled = proc ? proc(*this, event) : false;
  if (!handled && event.type == DialogEventType::Command && event.control == kIdCancel) End(-1);
}

void DialogState::Start(const DialogProcedure& proc) {
  for (const ControlState& c : m_Controls) {
    if (IsFocusable(c.tpl.type) && c.enabled && c.shown) {
      m_Focus = c.tpl.id;
      break;
    }
  }
  Deliver(proc, DialogEvent{DialogEventType::Init, 0, ScrollCode::EndScroll, 0});
}

void DialogState::Click(const DialogProcedure& proc, uint32_t id) {
  if (!Usable(id)) return;
  ControlState* c = Find(id);
  switch (c->tpl.type) {
    case ControlType::CheckBox:
    case ControlType::RadioButton:
    case ControlType::Button:
    case ControlType::DefaultButton:
      break;
    default:
      return;
  }
  // A clicked button takes the focus before it reports the click, so a procedure that asks
  // where the focus is (an edit that Enter should only apply) sees the button, not the edit.
  Focus(proc, id);
  if (m_Ended) return;
  switch (c->tpl.type) {
    case ControlType::CheckBox:
      c->checked = !c->checked;
      break;
    case ControlType::RadioButton:
      c->checked = true;
      ClearRadioGroup(size_t(c - m_Controls.data()));
      break;
    case ControlType::Button:
    case ControlType::DefaultButton:
      break;
    default:
      return;
  }
  Deliver(proc, DialogEvent{DialogEventType::Command, id, ScrollCode::EndScroll, 0});
}

void DialogState::TypeText(const DialogProcedure& proc, uint32_t id, const std::u16string& text) {
  if (!Usable(id)) return;
  ControlState* c = Find(id);
  if (c->tpl.type != ControlType::Edit) return;
  if (m_Focus != id) Focus(proc, id);
  c->text = text;
  if (c->maxLength > 0 && static_cast<int32_t>(c->text.size()) > c->maxLength) c->text.resize(size_t(c->maxLength));
}

void DialogState::ChooseLine(const DialogProcedure& proc, uint32_t id, int32_t index) {
  if (!Usable(id)) return;
  ControlState* c = Find(id);
  if (index < 0 || index >= static_cast<int32_t>(c->lines.size()) || c->selection == index) return;
  c->selection = index;
  Deliver(proc, DialogEvent{DialogEventType::SelChange, id, ScrollCode::EndScroll, index});
}

void DialogState::DoubleClickLine(const DialogProcedure& proc, uint32_t id, int32_t index) {
  if (!Usable(id)) return;
  ControlState* c = Find(id);
  if (index < 0 || index >= static_cast<int32_t>(c->lines.size())) return;
  if (c->selection != index) ChooseLine(proc, id, index);
  Deliver(proc, DialogEvent{DialogEventType::DoubleClick, id, ScrollCode::EndScroll, index});
}

void DialogState::Scroll(const DialogProcedure& proc, uint32_t id, ScrollCode code, int32_t thumb) {
  if (!Usable(id)) return;
  ControlState* c = Find(id);
  int32_t pos = c->pos;
  const bool updown = c->tpl.type == ControlType::UpDown;
  if (updown && c->tpl.buddy) {
    // An up-down steps the number in its buddy edit, which the user may have typed over.
    if (const ControlState* b = Find(c->tpl.buddy)) {
      if (std::optional<int32_t> typed = ParseInt(b->text)) pos = std::clamp(*typed, c->min, c->max);
    }
  }
  switch (code) {
    case ScrollCode::LineUp:
      pos += updown ? 1 : -1;
      break;
    case ScrollCode::LineDown:
      pos += updown ? -1 : 1;
      break;
    case ScrollCode::PageUp:
      pos -= c->page;
      break;
    case ScrollCode::PageDown:
      pos += c->page;
      break;
    case ScrollCode::ThumbPosition:
    case ScrollCode::ThumbTrack:
      pos = thumb;
      break;
    case ScrollCode::Top:
      pos = c->min;
      break;
    case ScrollCode::Bottom:
      pos = c->max;
      break;
    case ScrollCode::EndScroll:
      break;
  }
  c->pos = std::clamp(pos, c->min, c->max);
  if (updown && c->tpl.buddy) {
    if (ControlState* b = Find(c->tpl.buddy)) b->text = Utf8ToWide(std::to_string(c->pos));
  }
  Deliver(proc, DialogEvent{DialogEventType::Scroll, id, code, c->pos});
}

void DialogState::Focus(const DialogProcedure& proc, uint32_t id) {
  if (!Usable(id) || m_Focus == id) return;
  const uint32_t old = m_Focus;
  m_Focus = id;
  if (old) Deliver(proc, DialogEvent{DialogEventType::FocusOut, old, ScrollCode::EndScroll, 0});
  Deliver(proc, DialogEvent{DialogEventType::FocusIn, id, ScrollCode::EndScroll, 0});
}

void DialogState::Tab(const DialogProcedure& proc, bool backwards) {
  const size_t n = m_Controls.size();
  size_t at = n;
  for (size_t i = 0; i < n; ++i)
    if (m_Controls[i].tpl.id == m_Focus) at = i;
  for (size_t step = 1; step <= n; ++step) {
    const size_t from = at == n ? (backwards ? 0 : n - 1) : at;
    const size_t i = backwards ? (from + n - step % n) % n : (from + step) % n;
    const ControlState& c = m_Controls[i];
    if (IsFocusable(c.tpl.type) && Usable(c.tpl.id)) {
      Focus(proc, c.tpl.id);
      return;
    }
  }
}

void DialogState::PressEnter(const DialogProcedure& proc) {
  uint32_t id = kIdOk;
  for (const ControlState& c : m_Controls) {
    if (c.tpl.type == ControlType::DefaultButton) {
      id = c.tpl.id;
      break;
    }
  }
  // A disabled default button ignores Enter, as a greyed OK does.
  if (Find(id) && !Usable(id)) return;
  Deliver(proc, DialogEvent{DialogEventType::Command, id, ScrollCode::EndScroll, 0});
}

void DialogState::PressEscape(const DialogProcedure& proc) {
  Deliver(proc, DialogEvent{DialogEventType::Command, kIdCancel, ScrollCode::EndScroll, 0});
}

void DialogState::CloseAsCancel(const DialogProcedure& proc) {
  PressEscape(proc);
  if (!m_Ended) End(-1);
}

}  // namespace platform
