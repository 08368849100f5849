// File histories: the bare names of the scripts begun and the images shown since start-up.
#pragma once

#include <string_view>

#include "lib/list.h"
#include "lib/wstring.h"

namespace TextScript {

class FILEHISTGROUP;

class FILEHISTNODE : public CListNode<FILEHISTNODE, FILEHISTGROUP> {
 public:
  explicit FILEHISTNODE(std::u16string_view name) : m_Name(name) {}
  WString m_Name;
};

// The names in the order they were added.
class FILEHISTGROUP : public CListGroup<FILEHISTGROUP, FILEHISTNODE> {
 public:
  // 1 when a node's name equals name without regard to case, else 0.
  int Find(std::u16string_view name) const;
  // 1 when the name is already present (nothing changes); otherwise appends it and returns 0.
  int Add(std::u16string_view name);
  void Clear() { DeleteAll(); }
};

// The history of shown images and the history of begun scripts.
extern FILEHISTGROUP g_ImageHistory;
extern FILEHISTGROUP g_ScriptHistory;

// The path without folder and extension.
WString BareFileName(std::u16string_view path);

// Adds the bare name of an image path to the image history.
void RecordImageHistory(std::u16string_view path);

}  // namespace TextScript
