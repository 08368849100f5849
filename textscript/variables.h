// Script variables: named integers (and carried strings) in the live and the snapshot table.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string_view>

#include "lib/wstring.h"

// One variable. Integer records are what the scripts make; string records are only carried
// (cloned, cleared, saved and restored) as they are.
struct ScriptVariable {
  enum : int32_t { kInteger = 0, kString = 1 };

  int32_t m_Type = kInteger;
  uint32_t m_Hash = 0;
  WString m_Name;                      // as first given
  int32_t m_Value = 0;                 // the integer value (type 0)
  std::unique_ptr<WString> m_pString;  // the string value (type 1)
};

// Hash of a variable name: the name upper-cased, then its UTF-16LE bytes up to the first
// zero byte, each folded in as h = rotl(h, 1) + b * 0x12345678. ASCII names therefore hash
// by their first letter alone; lookups still compare whole names.
uint32_t HashVariableName(std::u16string_view name);

// True when the two names are equal without regard to letter case.
bool EqualNoCase(std::u16string_view a, std::u16string_view b);

// A pooled record and its deleter (the record goes back to the variable pool).
struct VariableDeleter {
  void operator()(ScriptVariable* v) const;
};
using VariablePtr = std::unique_ptr<ScriptVariable, VariableDeleter>;

// A new record from the variable pool; throws the error object when the pool is exhausted.
VariablePtr NewVariable();
// A new record with the same type, hash, name and value (its own copy of a string).
VariablePtr CloneVariable(const ScriptVariable& v);

// An ordered multimap from hash to record: iteration is by ascending hash and, within one
// hash, in insertion order.
class VariableTable {
 public:
  using Map = std::multimap<uint32_t, VariablePtr>;

  VariableTable() = default;
  VariableTable(const VariableTable&) = delete;
  VariableTable& operator=(const VariableTable&) = delete;

  // The record of that type whose name equals name without regard to case, or null.
  ScriptVariable* Find(int32_t type, std::u16string_view name) const;
  // The integer record of that name gets the value; it is made when there is none.
  ScriptVariable* Set(std::u16string_view name, int32_t value);
  // Takes a record (string or integer) into the table, behind the records of its hash.
  ScriptVariable* Insert(VariablePtr record);
  // Releases every record.
  void Clear();

  size_t Count() const { return m_Map.size(); }
  bool IsEmpty() const { return m_Map.empty(); }
  Map::const_iterator begin() const { return m_Map.begin(); }
  Map::const_iterator end() const { return m_Map.end(); }

 private:
  Map m_Map;
};

// The live table that the commands read and write, and the snapshot a save stores.
extern VariableTable g_Variables;
extern VariableTable g_SavedVariables;

// Nothing when the name begins with a digit or an integer variable of that name exists;
// otherwise the live table gets an integer variable of that name with the value.
void DeclareVariable(std::u16string_view name, int32_t value);

// Decimal text: value = value * 10 + (c - '0') for every character, wrapping as unsigned
// 32-bit arithmetic (the characters after the first are not checked).
int32_t DecimalValue(std::u16string_view text);

// Text that begins with a digit gives its decimal value; otherwise the value of the live
// integer variable of that name, or def when there is none.
int32_t EvalOperand(std::u16string_view text, int32_t def);

// The snapshot becomes a copy of the live table, in its order.
void SnapshotVariables();
// Empties the snapshot.
void ClearSavedVariables();
