// Script variables: the name hash, the two tables, declaration, operands and the snapshot.
#include "textscript/variables.h"

#include "lib/error.h"
#include "lib/globals.h"
#include "lib/pool.h"

namespace {

char16_t UpperAscii(char16_t c) {
  return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

}  // namespace

uint32_t HashVariableName(std::u16string_view name) {
  uint32_t h = 0;
  for (char16_t raw : name) {
    const char16_t c = UpperAscii(raw);
    const uint8_t bytes[2] = {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>(c >> 8)};
    for (uint8_t b : bytes) {
      if (b == 0) return h;
      h = ((h << 1) | (h >> 31)) + static_cast<uint32_t>(b) * 0x12345678u;
    }
  }
  return h;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  return true;
}

void VariableDeleter::operator()(ScriptVariable* v) const {
  PoolDelete(g_VarPool(), v);
}

VariablePtr NewVariable() {
  ScriptVariable* v = PoolNew<ScriptVariable>(g_VarPool());
  if (!v) ThrowException(u"textscript/variables.cpp", __LINE__, 0, 0, u"ScriptVariable: Empty Memory!!");
  return VariablePtr(v);
}

VariablePtr CloneVariable(const ScriptVariable& v) {
  VariablePtr c = NewVariable();
  c->m_Type = v.m_Type;
  c->m_Hash = v.m_Hash;
  c->m_Name = v.m_Name;
  c->m_Value = v.m_Value;
  if (v.m_pString) c->m_pString = std::make_unique<WString>(*v.m_pString);
  return c;
}

ScriptVariable* VariableTable::Find(int32_t type, std::u16string_view name) const {
  auto range = m_Map.equal_range(HashVariableName(name));
  for (auto it = range.first; it != range.second; ++it) {
    ScriptVariable* v = it->second.get();
    if (v->m_Type == type && EqualNoCase(v->m_Name, name)) return v;
  }
  return nullptr;
}

ScriptVariable* VariableTable::Set(std::u16string_view name, int32_t value) {
  if (ScriptVariable* v = Find(ScriptVariable::kInteger, name)) {
    v->m_Value = value;
    return v;
  }
  VariablePtr v = NewVariable();
  v->m_Type = ScriptVariable::kInteger;
  v->m_Hash = HashVariableName(name);
  v->m_Name = WString(name);
  v->m_Value = value;
  return Insert(std::move(v));
}

ScriptVariable* VariableTable::Insert(VariablePtr record) {
  if (!record) return nullptr;
  const uint32_t hash = record->m_Hash;
  // multimap::insert places an equal key after the ones already there.
  return m_Map.insert({hash, std::move(record)})->second.get();
}

void VariableTable::Clear() {
  m_Map.clear();
}

void DeclareVariable(std::u16string_view name, int32_t value) {
  if (!name.empty() && name[0] >= u'0' && name[0] <= u'9') return;
  if (g_Variables.Find(ScriptVariable::kInteger, name)) return;
  g_Variables.Set(name, value);
}

int32_t DecimalValue(std::u16string_view text) {
  uint32_t v = 0;
  for (char16_t c : text) v = v * 10u + (static_cast<uint32_t>(c) - static_cast<uint32_t>(u'0'));
  return static_cast<int32_t>(v);
}

int32_t EvalOperand(std::u16string_view text, int32_t def) {
  if (!text.empty() && text[0] >= u'0' && text[0] <= u'9') return DecimalValue(text);
  const ScriptVariable* v = g_Variables.Find(ScriptVariable::kInteger, text);
  return v ? v->m_Value : def;
}

void SnapshotVariables() {
  g_SavedVariables.Clear();
  for (const auto& [hash, v] : g_Variables) g_SavedVariables.Insert(CloneVariable(*v));
}

void ClearSavedVariables() {
  g_SavedVariables.Clear();
}
