// The menu model and the accelerator table.
#include "platform/menu.h"

#include <utility>

#include "platform/window.h"

namespace platform {

MenuItem MenuItem::Command(uint32_t id, std::u16string label) {
  MenuItem m;
  m.id = id;
  m.label = std::move(label);
  return m;
}

MenuItem MenuItem::Radio(uint32_t id, std::u16string label) {
  MenuItem m = Command(id, std::move(label));
  m.radio = true;
  return m;
}

MenuItem MenuItem::Separator() {
  MenuItem m;
  m.separator = true;
  return m;
}

MenuItem MenuItem::Popup(std::u16string label, std::vector<MenuItem> children) {
  MenuItem m;
  m.label = std::move(label);
  m.children = std::move(children);
  return m;
}

namespace {

template <typename Item>
Item* FindIn(std::vector<Item>& items, uint32_t id) {
  for (auto& item : items) {
    if (!item.separator && !item.IsPopup() && item.id == id) return &item;
    if (item.IsPopup()) {
      if (Item* found = FindIn(item.children, id)) return found;
    }
  }
  return nullptr;
}

void ClearRange(std::vector<MenuItem>& items, uint32_t first, uint32_t last) {
  for (auto& item : items) {
    if (item.IsPopup()) {
      ClearRange(item.children, first, last);
    } else if (!item.separator && item.id >= first && item.id <= last) {
      item.checked = false;
    }
  }
}

}  // namespace

MenuItem* Menu::Find(uint32_t id) {
  return FindIn(m_Top, id);
}

const MenuItem* Menu::Find(uint32_t id) const {
  return FindIn(const_cast<std::vector<MenuItem>&>(m_Top), id);
}

bool Menu::Enable(uint32_t id, bool enabled) {
  MenuItem* item = Find(id);
  if (!item) return false;
  if (item->enabled != enabled) {
    item->enabled = enabled;
    ++m_Revision;
  }
  return true;
}

bool Menu::Check(uint32_t id, bool checked) {
  MenuItem* item = Find(id);
  if (!item) return false;
  if (item->checked != checked) {
    item->checked = checked;
    ++m_Revision;
  }
  return true;
}

bool Menu::SetLabel(uint32_t id, std::u16string label) {
  MenuItem* item = Find(id);
  if (!item) return false;
  if (item->label != label) {
    item->label = std::move(label);
    ++m_Revision;
  }
  return true;
}

bool Menu::IsEnabled(uint32_t id) const {
  const MenuItem* item = Find(id);
  return !item || item->enabled;
}

bool Menu::IsChecked(uint32_t id) const {
  const MenuItem* item = Find(id);
  return item && item->checked;
}

bool Menu::CheckRadio(uint32_t first, uint32_t last, uint32_t id) {
  if (id < first || id > last || !Find(id)) return false;
  ClearRange(m_Top, first, last);
  Find(id)->checked = true;
  ++m_Revision;
  return true;
}

bool Menu::DeleteTop(size_t position) {
  if (position >= m_Top.size()) return false;
  m_Top.erase(m_Top.begin() + static_cast<std::ptrdiff_t>(position));
  ++m_Revision;
  return true;
}

std::u16string StripMnemonic(const std::u16string& label) {
  std::u16string out;
  out.reserve(label.size());
  for (size_t i = 0; i < label.size(); ++i) {
    if (label[i] == u'&') {
      if (i + 1 < label.size() && label[i + 1] == u'&') {
        out.push_back(u'&');
        ++i;
      }
      continue;
    }
    out.push_back(label[i]);
  }
  return out;
}

std::optional<uint32_t> AcceleratorTable::Translate(const Event& event, const Menu* menu) const {
  if (event.type != EventType::KeyDown) return std::nullopt;
  const uint32_t mods = event.modifiers & (kModShift | kModCtrl | kModAlt);
  for (const Accelerator& a : m_Entries) {
    if (a.key != event.key || a.modifiers != mods) continue;
    // A greyed menu item's accelerator does nothing, but the key is still taken.
    if (menu && !menu->IsEnabled(a.command)) return 0u;
    return a.command;
  }
  return std::nullopt;
}

}  // namespace platform
