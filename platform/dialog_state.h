// The live state of an open dialog's controls, shared by every dialog host: the procedure's
// control operations land here, and the host turns the user's actions into dialog events.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dialog.h"

namespace platform {

struct ControlState {
  ControlTemplate tpl;
  std::u16string text;
  int32_t maxLength = 0;
  bool checked = false;
  bool enabled = true;
  bool shown = true;
  int32_t min = 0, max = 100, page = 10, pos = 0;
  std::vector<std::u16string> lines;
  int32_t selection = -1;
  std::vector<uint8_t> picture;  // B, G, R rows, width * 3 bytes each
  int32_t pictureWidth = 0, pictureHeight = 0;
  uint32_t pictureRevision = 0;
};

class DialogState : public DialogControls {
 public:
  explicit DialogState(const DialogTemplate& dialog);

  // DialogControls.
  void SetCaption(const std::u16string& caption) override;
  void SetText(uint32_t id, const std::u16string& text) override;
  std::u16string GetText(uint32_t id) const override;
  void SetLimit(uint32_t id, int32_t maxLength) override;
  void SetCheck(uint32_t id, bool checked) override;
  bool IsChecked(uint32_t id) const override;
  void SetRange(uint32_t id, int32_t min, int32_t max) override;
  void SetPageSize(uint32_t id, int32_t page) override;
  void SetPosition(uint32_t id, int32_t position) override;
  int32_t GetPosition(uint32_t id) const override;
  void Enable(uint32_t id, bool enabled) override;
  bool IsEnabled(uint32_t id) const override;
  void Show(uint32_t id, bool shown) override;
  bool IsShown(uint32_t id) const override;
  void ClearLines(uint32_t id) override;
  int32_t AddLine(uint32_t id, const std::u16string& line) override;
  int32_t LineCount(uint32_t id) const override;
  std::u16string GetLine(uint32_t id, int32_t index) const override;
  void SelectLine(uint32_t id, int32_t index) override;
  int32_t GetSelection(uint32_t id) const override;
  void SetPicture(uint32_t id, const uint8_t* bgr, int32_t width, int32_t height, int32_t pitch) override;
  void SetFocus(uint32_t id) override;
  uint32_t GetFocus() const override;
  void End(int32_t result) override;

  const std::u16string& Caption() const { return m_Caption; }
  const DialogTemplate& Template() const { return m_Template; }
  std::vector<ControlState>& Controls() { return m_Controls; }
  const std::vector<ControlState>& Controls() const { return m_Controls; }
  ControlState* Find(uint32_t id);
  const ControlState* Find(uint32_t id) const;
  bool Ended() const { return m_Ended; }
  int32_t Result() const { return m_Result; }
  // Every control operation the procedure made, one line each ("SetText 1023 abc").
  const std::vector<std::string>& Log() const { return m_Log; }

  // The user's actions, as both hosts perform them. Each delivers the event that the action
  // produces to the procedure; actions on a disabled or hidden control do nothing.
  void Start(const DialogProcedure& proc);  // Init, then focus on the first focusable control
  void Deliver(const DialogProcedure& proc, const DialogEvent& event);
  void Click(const DialogProcedure& proc, uint32_t id);  // button, check box, radio
  void TypeText(const DialogProcedure& proc, uint32_t id,
                const std::u16string& text);  // replaces an edit's text, cut to its limit
  void ChooseLine(const DialogProcedure& proc, uint32_t id, int32_t index);  // SelChange
  void DoubleClickLine(const DialogProcedure& proc, uint32_t id, int32_t index);
  void Scroll(const DialogProcedure& proc, uint32_t id, ScrollCode code, int32_t thumb = 0);
  void Focus(const DialogProcedure& proc, uint32_t id);  // FocusOut to the old, FocusIn to the new
  // Tab and Shift+Tab: the focus to the next (previous) control that can take it, in template
  // order, round to the first (last).
  void Tab(const DialogProcedure& proc, bool backwards);
  void PressEnter(const DialogProcedure& proc);   // Command of the default button (else OK)
  void PressEscape(const DialogProcedure& proc);  // Command Cancel
  // Closed as Cancel whatever the procedure says: Command Cancel, then -1 if it is still open.
  void CloseAsCancel(const DialogProcedure& proc);

 private:
  bool Usable(uint32_t id) const;
  void Note(const char* op, uint32_t id, const std::string& detail = {});
  void ClearRadioGroup(size_t index);

  DialogTemplate m_Template;
  std::u16string m_Caption;
  std::vector<ControlState> m_Controls;
  uint32_t m_Focus = 0;
  bool m_Ended = false;
  int32_t m_Result = 0;
  std::vector<std::string> m_Log;
};

}  // namespace platform
