// The jump and judge tables read from "iv.txt": numbers mapped to labels, with conditions.
#pragma once

#include <cstdint>

#include "lib/list.h"
#include "lib/wstring.h"

namespace TextScript {

class IVJUMPTABLEGROUP;
class IVJUDGETABLEGROUP;

// One of the 20 fixed jump lines.
class IVJUMPTABLENODE : public CListNode<IVJUMPTABLENODE, IVJUMPTABLEGROUP> {
 public:
  WString m_Label;  // upper-cased
  WString m_Rest;   // the rest of the line, remark removed
};

class IVJUMPTABLEGROUP : public CListGroup<IVJUMPTABLEGROUP, IVJUMPTABLENODE> {};

// Operator bytes of a judge condition; any other value never holds.
enum : uint8_t {
  IVOP_NONE = 0,
  IVOP_EQUAL = '=',
  IVOP_GREATER = '>',
  IVOP_GREATER_EQUAL = ']',
  IVOP_LESS = '<',
  IVOP_LESS_EQUAL = '[',
  IVOP_NOT_EQUAL = '!',
};

struct IVCONDITION {
  WString m_Left;
  WString m_Right;
  uint8_t m_Op = IVOP_NONE;
};

// A judge entry: for number m_Id, jump to m_Label when all its conditions hold.
class IVJUDGETABLENODE : public CListNode<IVJUDGETABLENODE, IVJUDGETABLEGROUP> {
 public:
  static constexpr int kMaxConditions = 8;

  int32_t m_Id = 0;
  WString m_Label;  // upper-cased
  int32_t m_Count = 0;
  IVCONDITION m_Conditions[kMaxConditions];
};

class IVJUDGETABLEGROUP : public CListGroup<IVJUDGETABLEGROUP, IVJUDGETABLENODE> {};

// The number of jump lines an "iv.txt" always has.
constexpr int kIVJumpLines = 20;

// True when the condition holds for the two operand values.
bool IVConditionHolds(uint8_t op, int32_t left, int32_t right);

}  // namespace TextScript
