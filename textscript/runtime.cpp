// Statements and their arguments, the compile step, labels and the run loop.
#include <memory>

#include "lib/error.h"
#include "lib/globals.h"
#include "lib/pool.h"
#include "platform/service.h"
#include "textscript/filehist.h"
#include "textscript/inputbits.h"
#include "textscript/scriptframe.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

bool g_SceneReplayMode = false;

namespace TextScript {

ScriptStateGroup* g_pCompilingGroup = nullptr;
int32_t g_CurrentPage = 0;

const StatementTypeName kStatementTypeNames[] = {
    {u"RETURN", 0}, {u"MESSAGE", 1}, {u"GRP", 2},  {u"LAB", 5},  {u"MENUEND", 6}, {u"MAKEMENU", 7},
    {u"WAV", 8},    {u"PST", 9},     {u"SEL", 10}, {u"RMS", 11}, {u"CLM", 12},    {u"LGR", 13},
    {u"VOI", 14},   {u"JMP", 15},    {u"RJP", 16}, {u"PJP", 17}, {u"RSP", 18},    {u"RST", 19},
    {u"RSX", 20},   {u"SFS", 21},    {u"DON", 22}, {u"DOF", 23}, {u"TOF", 24},    {u"IVG", 25},
    {u"SSL", 26},   {u"END", 27},    {u"SED", 30}, {u"DGR", 31}, {nullptr, 0},
};

namespace {

class NullFrameStep final : public IFrameStep {
 public:
  void WaitFrame() override {}
  uint32_t HeldInput() const override { return 0; }
};

platform::ServiceSlot<IFrameStep>& FrameStepSlot() {
  static NullFrameStep idle;
  static platform::ServiceSlot<IFrameStep> slot("frame step", &idle);
  return slot;
}

void FreeExprTree(ExprNode* node) {
  if (!node) return;
  FreeExprTree(node->m_pLeft);
  FreeExprTree(node->m_pRight);
  PoolDelete(g_ExprPool(), node);
}

[[noreturn]] void PoolExhausted() {
  ThrowException(u"textscript/runtime.cpp", __LINE__, 0, 0, u"ScriptStateNode: Empty Memory!!");
}

// Restores the group being compiled when a compile ends, however it ends.
class CompilingScope {
 public:
  explicit CompilingScope(ScriptStateGroup* g) : m_pPrevious(g_pCompilingGroup) { g_pCompilingGroup = g; }
  ~CompilingScope() { g_pCompilingGroup = m_pPrevious; }
  CompilingScope(const CompilingScope&) = delete;
  CompilingScope& operator=(const CompilingScope&) = delete;

 private:
  ScriptStateGroup* m_pPrevious;
};

}  // namespace

IFrameStep* SetFrameStep(IFrameStep* step) {
  return FrameStepSlot().Set(step);
}

IFrameStep* GetFrameStep() {
  return FrameStepSlot().Get();
}

// ---- statements ----

void* ScriptStateNode::operator new(size_t size) {
  MemoryPool& pool = g_StatePool();
  if (size > pool.BlockSize())
    ThrowException(u"textscript/runtime.cpp", __LINE__, 0, 0,
                   u"ScriptStateNode: a node of %d bytes does not fit the %d-byte blocks of the game-statement pool "
                   u"(its class registers its size at start-up)",
                   static_cast<int>(size), static_cast<int>(pool.BlockSize()));
  void* node = pool.Alloc(size);
  if (!node) PoolExhausted();
  return node;
}

void ScriptStateNode::operator delete(void* node) noexcept {
  if (node) g_StatePool().Free(node);
}

ScriptStateNode::~ScriptStateNode() {
  ArgCell* cell = m_pArgs;
  m_pArgs = nullptr;
  while (cell) {
    ArgCell* next = cell->m_pNext;
    FreeExprTree(cell->m_pNode);
    PoolDelete(g_ArgPool(), cell);
    cell = next;
  }
}

void ScriptStateNode::AddArgument(std::u16string_view text) {
  ExprNode* node = PoolNew<ExprNode>(g_ExprPool());
  if (!node) PoolExhausted();
  node->m_Kind = 1;
  node->m_Text.Assign(text);
  ArgCell* cell = PoolNew<ArgCell>(g_ArgPool());
  if (!cell) {
    FreeExprTree(node);
    PoolExhausted();
  }
  cell->m_pNode = node;
  m_pArgs = ChainAppend(m_pArgs, cell);
}

std::u16string_view ScriptStateNode::Arg(int k) const {
  const ArgCell* cell = ChainNth(m_pArgs, k);
  return (cell && cell->m_pNode) ? cell->m_pNode->m_Text.View() : std::u16string_view();
}

int ScriptStateNode::ArgCount() const {
  int n = 0;
  for (const ArgCell* c = m_pArgs; c; c = c->m_pNext) ++n;
  return n;
}

// ---- the group ----

ScriptStateGroup::~ScriptStateGroup() {
  FreeWaitTask();
  DeleteAll();
  m_JumpTable.DeleteAll();
  m_JudgeTable.DeleteAll();
  if (g_pCompilingGroup == this) g_pCompilingGroup = nullptr;
}

std::unique_ptr<ScriptStateNode> ScriptStateGroup::CreateNode() {
  return std::make_unique<ScriptStateNode>(this, m_Reader.m_Line);
}

int32_t ScriptStateGroup::OnMessage(int32_t, uintptr_t, uintptr_t) {
  return 0;
}

void ScriptStateGroup::FreeWaitTask() {
  if (!m_pWaitTask) return;
  FreeACT(m_pWaitTask);
  m_pWaitTask = nullptr;
}

int ScriptStateGroup::Compile(const void* source, size_t size, std::u16string_view fileName) {
  m_FileName = WString(fileName);
  m_Reader.Reset(source, size);
  CompilingScope compiling(this);
  try {
    yyparse(*this);
    std::unique_ptr<ScriptStateNode> ret = CreateNode();
    ret->m_Type = STMT_RETURN;
    Append(ret.release());
    int32_t page = 0;
    for (ScriptStateNode* n = First(); n; n = n->Next())
      if (n->m_Type == STMT_PAGE) n->m_Page = ++page;
  } catch (const ScriptError& e) {
    m_LastError = e;
    RaiseScriptError(u"Compile", m_FileName.c(), e.m_Line, ScriptErrorText(e.m_Number), true);
  } catch (const ScriptError2& e) {
    m_LastError2 = e;
    RaiseScriptError(u"Compile", m_FileName.c(), e.m_Line, e.m_Message, true);
  }
  return 0;
}

ScriptStateNode* ScriptStateGroup::FindLabel(std::u16string_view name) {
  for (ScriptStateNode* n = First(); n; n = n->Next()) {
    if (n->m_Type != STMT_LAB || !EqualNoCase(n->Arg(0), name)) continue;
    ScriptStateNode* page = n->Prev();
    if (page && page->m_Type == STMT_PAGE) return page;
    throw ScriptError2(n->m_Line, u"ラベルの直前にページ区切りがありません");
  }
  return nullptr;
}

int ScriptStateGroup::OnBegin() {
  g_CurrentPage = 0;
  for (IVJUDGETABLENODE* e = m_JudgeTable.First(); e; e = e->Next()) {
    const int count = e->m_Count < IVJUDGETABLENODE::kMaxConditions ? e->m_Count : IVJUDGETABLENODE::kMaxConditions;
    for (int i = 0; i < count; ++i) {
      DeclareVariable(e->m_Conditions[i].m_Left, 0);
      DeclareVariable(e->m_Conditions[i].m_Right, 0);
    }
  }
  const int begunBefore = g_ScriptHistory.Add(BareFileName(m_FileName));
  FreeWaitTask();
  return begunBefore;
}

ScriptStateNode* ScriptStateGroup::RunLoop(int32_t startPage) {
  ScriptStateNode* p = First();
  if (startPage != -1) {
    p = nullptr;
    for (ScriptStateNode* n = First(); n; n = n->Next()) {
      if (n->m_Type == STMT_PAGE && n->m_Page == startPage && n->Next()) {
        p = n->Next();
        break;
      }
    }
    if (!p) throw ScriptError2(startPage, u"再開できるページが見つかりません");
    g_CurrentPage = startPage;
  }
  while (p) {
    m_pCurrent = p;
    ScriptStateNode* next = p->Execute();
    while (m_pWaitTask) {
      RunACT(m_pWaitTask);
      IFrameStep* step = GetFrameStep();
      step->WaitFrame();
      if (m_pWaitTask && m_pWaitTask->m_Result != ACT_RESULT_DONE && (step->HeldInput() & INPUT_MASK_RUN_SKIP))
        SendACT(m_pWaitTask, ACTMSG_FINISH, 0, 0);
      if (m_pWaitTask && m_pWaitTask->m_Result == ACT_RESULT_DONE) FreeWaitTask();
    }
    p = next;
  }
  return nullptr;
}

int ScriptStateGroup::Run(int32_t startPage) {
  OnBegin();
  int result = 0;
  // Whatever way the loop is left, a wait task still pending is given back.
  struct WaitGuard {
    ScriptStateGroup* g;
    ~WaitGuard() { g->FreeWaitTask(); }
  } guard{this};
  try {
    RunLoop(startPage);
  } catch (const ScriptError& e) {
    RaiseScriptError(u"Runtime", m_FileName.c(), e.m_Line, ScriptErrorText(e.m_Number), false);
  } catch (const ScriptError2& e) {
    RaiseScriptError(u"Runtime", m_FileName.c(), e.m_Line, e.m_Message, false);
  } catch (const ExceptionHandle&) {
    // A quit or any other error ends the run quietly.
  } catch (const ScriptException& e) {
    FreeWaitTask();
    if (e.m_Code == 0 || e.m_Code == 1) {
      SnapshotVariables();
      result = e.m_Code + 1;
    }
  }
  OnEnd();
  return result;
}

// ---- process-wide objects ----

// Cleared in the order the registry gives (tables before the pools whose records they hold);
// the objects themselves live as long as the program.
FILEHISTGROUP g_ImageHistory;
FILEHISTGROUP g_ScriptHistory;

}  // namespace TextScript

VariableTable g_Variables;
VariableTable g_SavedVariables;

namespace TextScript {

void RegisterScriptGlobals() {
  RegisterPoolRecordOf<ExprNode>(GlobalPool::Expr);
  RegisterPoolRecordOf<ArgCell>(GlobalPool::Arg);
  RegisterPoolRecordOf<ScriptVariable>(GlobalPool::Var);
  RegisterPoolRecordOf<ScriptStateNode>(GlobalPool::State);
  AddGlobalStep(kGlobalImageHistory, "image history", nullptr, [] { g_ImageHistory.Clear(); });
  AddGlobalStep(kGlobalScriptHistory, "script history", nullptr, [] { g_ScriptHistory.Clear(); });
  AddGlobalStep(kGlobalLiveVariables, "live variables", nullptr, [] { g_Variables.Clear(); });
  AddGlobalStep(kGlobalSnapshotVariables, "snapshot variables", nullptr, [] { g_SavedVariables.Clear(); });
}

}  // namespace TextScript
