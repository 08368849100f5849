// Dialogs: templates as data, procedures that receive the dialog's events and work on its
// controls through a set of control operations, and the host that runs one modally.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/geometry.h"

namespace platform {

enum class ControlType : uint8_t {
  Static,    // text
  GroupBox,  // a frame with a title
  Button,
  DefaultButton,  // the button Enter presses
  CheckBox,
  RadioButton,  // radios from a groupStart up to the next groupStart form one group
  Edit,         // the user types maxLength characters at most (0 = no limit)
  ListBox,      // fixedFont: drawn with a fixed-pitch font
  ComboBox,     // a drop-down list
  TrackbarH,
  TrackbarV,
  UpDown,   // buddy = the edit whose number it steps
  Picture,  // shows a 24-bit pixel buffer
};

struct ControlTemplate {
  uint32_t id = 0;
  ControlType type = ControlType::Static;
  Rect rect;  // in dialog pixels, relative to the dialog's client area
  std::u16string text;
  int32_t maxLength = 0;
  bool fixedFont = false;
  bool groupStart = false;
  uint32_t buddy = 0;
};

struct DialogTemplate {
  std::u16string caption;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<ControlTemplate> controls;
};

// Standard command ids: the OK and Cancel buttons (Enter and Esc, the close box as Cancel).
enum : uint32_t { kIdOk = 1, kIdCancel = 2 };

enum class DialogEventType : uint8_t { Init, Command, Scroll, SelChange, DoubleClick, FocusIn, FocusOut };

// Trackbar and up-down notifications; for a horizontal bar LineUp is "line left".
enum class ScrollCode : uint8_t {
  LineUp,
  LineDown,
  PageUp,
  PageDown,
  ThumbPosition,
  ThumbTrack,
  Top,
  Bottom,
  EndScroll
};

struct DialogEvent {
  DialogEventType type = DialogEventType::Init;
  uint32_t control = 0;  // the control the event concerns (0 for Init)
  ScrollCode scroll = ScrollCode::EndScroll;
  int32_t position = 0;  // Scroll: the control's position after the move
};

// The control operations a procedure calls. Operations on an unknown id do nothing (getters
// give empty values).
class DialogControls {
 public:
  virtual ~DialogControls() = default;
  virtual void SetCaption(const std::u16string& caption) = 0;
  virtual void SetText(uint32_t id, const std::u16string& text) = 0;
  virtual std::u16string GetText(uint32_t id) const = 0;
  virtual void SetLimit(uint32_t id, int32_t maxLength) = 0;
  virtual void SetCheck(uint32_t id, bool checked) = 0;  // a checked radio clears its group
  virtual bool IsChecked(uint32_t id) const = 0;
  virtual void SetRange(uint32_t id, int32_t min, int32_t max) = 0;
  virtual void SetPageSize(uint32_t id, int32_t page) = 0;
  virtual void SetPosition(uint32_t id, int32_t position) = 0;  // clamped to the range
  virtual int32_t GetPosition(uint32_t id) const = 0;
  virtual void Enable(uint32_t id, bool enabled) = 0;
  virtual bool IsEnabled(uint32_t id) const = 0;
  virtual void Show(uint32_t id, bool shown) = 0;
  virtual bool IsShown(uint32_t id) const = 0;
  virtual void ClearLines(uint32_t id) = 0;
  virtual int32_t AddLine(uint32_t id, const std::u16string& line) = 0;  // its index, or -1
  virtual int32_t LineCount(uint32_t id) const = 0;
  virtual std::u16string GetLine(uint32_t id, int32_t index) const = 0;
  virtual void SelectLine(uint32_t id, int32_t index) = 0;  // -1 = none; out of range = none
  virtual int32_t GetSelection(uint32_t id) const = 0;
  // 24-bit pixels (B, G, R), rows top-down, pitch in bytes; copied.
  virtual void SetPicture(uint32_t id, const uint8_t* bgr, int32_t width, int32_t height, int32_t pitch) = 0;
  virtual void SetFocus(uint32_t id) = 0;
  virtual uint32_t GetFocus() const = 0;
  // Closes the dialog after the current event with this result.
  virtual void End(int32_t result) = 0;
};

// Returns true when it handled the event. An unhandled Command of kIdCancel ends the dialog
// with -1 (the close box therefore always closes a dialog that does not object).
using DialogProcedure = std::function<bool(DialogControls&, const DialogEvent&)>;

class DialogHost {
 public:
  virtual ~DialogHost() = default;
  // Runs the dialog until the procedure ends it, or the outside end closes it; its result.
  virtual int32_t RunModal(const DialogTemplate& dialog, const DialogProcedure& procedure) = 0;

  // The end from outside the dialogs (the program is asked to terminate). The host asks it before
  // each of the user's actions; while it answers true, every dialog the host runs, a nested one
  // and one that opens only then included, is closed as Cancel: the procedure gets the Cancel
  // command, and a dialog that stays open even so ends with -1. A box the procedure shows is
  // answered first. Asked on the host's thread, often: it must be cheap. Null: no outside end.
  void SetOutsideEnd(std::function<bool()> ended) { m_OutsideEnd = std::move(ended); }
  bool OutsideEndRequested() const { return m_OutsideEnd && m_OutsideEnd(); }

 private:
  std::function<bool()> m_OutsideEnd;
};

}  // namespace platform
