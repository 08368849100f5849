// The menu model (items with id, label, enabled and checked state, radio groups, submenus) and
// the accelerator table gated by the menu's enabled state. The game owns both; a backend draws
// the model and reports chosen items as commands.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct Event;

struct MenuItem {
  uint32_t id = 0;       // command id; 0 for popups and separators
  std::u16string label;  // '&' marks the mnemonic ("終了(&X)"); "&&" is a literal '&'
  bool enabled = true;
  bool checked = false;
  bool separator = false;
  bool radio = false;              // drawn as a radio mark when checked
  std::vector<MenuItem> children;  // non-empty: a popup

  bool IsPopup() const { return !children.empty(); }

  static MenuItem Command(uint32_t id, std::u16string label);
  static MenuItem Radio(uint32_t id, std::u16string label);
  static MenuItem Separator();
  static MenuItem Popup(std::u16string label, std::vector<MenuItem> children);
};

class Menu {
 public:
  Menu() = default;
  explicit Menu(std::vector<MenuItem> top) : m_Top(std::move(top)) {}

  std::vector<MenuItem>& Top() { return m_Top; }
  const std::vector<MenuItem>& Top() const { return m_Top; }

  // The first item with this command id, searched depth first; null when absent.
  MenuItem* Find(uint32_t id);
  const MenuItem* Find(uint32_t id) const;

  // False when the id is absent (nothing changes).
  bool Enable(uint32_t id, bool enabled);
  bool Check(uint32_t id, bool checked);
  // A new label for the item; false when the id is absent.
  bool SetLabel(uint32_t id, std::u16string label);
  bool IsEnabled(uint32_t id) const;  // absent items count as enabled
  bool IsChecked(uint32_t id) const;
  // Checks `id` and clears every other item whose id lies in [first, last] (a radio group).
  bool CheckRadio(uint32_t first, uint32_t last, uint32_t id);
  // Removes the top-level item at a position; false when out of range.
  bool DeleteTop(size_t position);

  // Bumped by every change, so a drawing backend knows when to look again.
  uint32_t Revision() const { return m_Revision; }

 private:
  std::vector<MenuItem> m_Top;
  uint32_t m_Revision = 0;
};

// Removes the mnemonic markers: "終了(&X)" → "終了(X)", "&&" → "&".
std::u16string StripMnemonic(const std::u16string& label);

struct Accelerator {
  uint8_t key = 0;         // DirectInput key code
  uint32_t modifiers = 0;  // KeyMod bits that must be held (exactly)
  uint32_t command = 0;
};

class AcceleratorTable {
 public:
  AcceleratorTable() = default;
  explicit AcceleratorTable(std::vector<Accelerator> entries) : m_Entries(std::move(entries)) {}
  void Add(const Accelerator& a) { m_Entries.push_back(a); }
  const std::vector<Accelerator>& Entries() const { return m_Entries; }

  // A key-down event that matches an entry becomes that entry's command, unless the menu holds
  // an item with that id and the item is disabled: then the key is swallowed and nothing is
  // sent (the result is 0). No match: nullopt, the event goes on as usual.
  std::optional<uint32_t> Translate(const Event& event, const Menu* menu) const;

 private:
  std::vector<Accelerator> m_Entries;
};

}  // namespace platform
