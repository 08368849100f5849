// Compiled scripts: statements with their arguments, and the group that compiles and runs them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <type_traits>

#include "lib/act.h"
#include "lib/list.h"
#include "lib/wstring.h"
#include "textscript/commandtable.h"
#include "textscript/ivtable.h"
#include "textscript/lexer.h"
#include "textscript/ownedtext.h"
#include "textscript/scripterror.h"

namespace TextScript {

// Statement types.
enum : uint8_t {
  STMT_RETURN = 0,
  STMT_MESSAGE = 1,
  STMT_GRP = 2,
  STMT_CHR = 3,
  STMT_CHL = 4,
  STMT_LAB = 5,
  STMT_MENUEND = 6,
  STMT_MAKEMENU = 7,
  STMT_WAV = 8,
  STMT_PST = 9,
  STMT_SEL = 10,
  STMT_RMS = 11,
  STMT_CLM = 12,
  STMT_LGR = 13,
  STMT_VOI = 14,
  STMT_JMP = 15,
  STMT_RJP = 16,
  STMT_PJP = 17,
  STMT_RSP = 18,
  STMT_RST = 19,
  STMT_RSX = 20,
  STMT_SFS = 21,
  STMT_DON = 22,
  STMT_DOF = 23,
  STMT_TOF = 24,
  STMT_IVG = 25,
  STMT_SSL = 26,
  STMT_END = 27,
  STMT_END1 = 28,
  STMT_END2 = 29,
  STMT_SED = 30,
  STMT_DGR = 31,
  STMT_PAGE = 34,
  STMT_FLS = 35,
  STMT_S1A = 36,
  STMT_S1B = 37,
  STMT_S1M = 38,
  STMT_S2A = 39,
  STMT_S2B = 40,
  STMT_S2M = 41,
};

// The table of type names {name, type}, ended by an empty entry.
struct StatementTypeName {
  const char16_t* name;
  int32_t type;
};
extern const StatementTypeName kStatementTypeNames[];

// An argument's expression node. The compiler builds only leaves of kind 1 holding the text
// of their token.
struct ExprNode {
  ExprNode* m_pParent = nullptr;
  ExprNode* m_pLeft = nullptr;
  ExprNode* m_pRight = nullptr;
  uintptr_t m_Link = 0;
  int32_t m_Kind = 1;
  OwnedText m_Text;
};

// A cell of a statement's argument chain (the first word links the next cell).
struct ArgCell {
  ArgCell* m_pNext = nullptr;
  ExprNode* m_pNode = nullptr;
  uintptr_t m_Reserved = 0;
};

// Registers the records this language keeps in the process-wide pools (expression nodes,
// argument cells, variables and its own statement nodes) and its process-wide objects (the
// histories and the variable tables) with the start/stop registry. Start-up calls it before
// the globals are started, and so does every test fixture that compiles or runs scripts;
// calling it again does no harm.
void RegisterScriptGlobals();

class ScriptStateGroup;

// A statement. Nodes live in blocks of the game-statement pool: the class's operator new and
// delete take them from it and give them back, so every derived class does the same and the
// group's tear-down (delete through the virtual destructor) returns each node to the pool
// whatever its class. A derived class registers its size with that pool at start-up
// (RegisterPoolRecordOf<Node>(GlobalPool::State)); a node larger than the pool's blocks is
// refused with the error object.
class ScriptStateNode : public CDoubleListNode<ScriptStateNode, ScriptStateGroup> {
 public:
  ScriptStateNode(ScriptStateGroup* group, int32_t line) : m_pGroup(group), m_Line(line) {}
  // Frees the argument cells and their nodes, then unlinks.
  ~ScriptStateNode() override;

  static void* operator new(size_t size);
  static void operator delete(void* node) noexcept;

  // Runs the language's own commands (CoreCommands); returns the statement to run next (null
  // ends the run). A script error raised inside leaves with this statement's line.
  virtual ScriptStateNode* Execute();

  // Appends an argument holding text; throws the error object when the pools are exhausted.
  void AddArgument(std::u16string_view text);
  // The text of argument k; empty when there is no such argument.
  std::u16string_view Arg(int k) const;
  int ArgCount() const;
  ScriptStateGroup* Group() const { return m_pGroup; }

  ScriptStateGroup* m_pGroup;
  int32_t m_Line;
  uint8_t m_Type = STMT_RETURN;
  uint8_t m_Op = 0;
  int32_t m_Page = 0;
  ArgCell* m_pArgs = nullptr;

  // The page statement of the label; ScriptError2 "ラベルが見つかりません。[%s]" when no LAB
  // carries it.
  ScriptStateNode* JumpTo(std::u16string_view label) const;

 protected:
  // For a derived node's Execute: runs the handler that table has for this statement's code,
  // else the language's own command. Either way a script error leaves with this line.
  template <typename Node>
  ScriptStateNode* Dispatch(const CommandTable<Node>& table) {
    static_assert(std::is_base_of_v<ScriptStateNode, Node>);
    if (const auto handler = table.Find(m_Type))
      return WithStatementLine([&] { return handler(static_cast<Node&>(*this)); });
    return ScriptStateNode::Execute();
  }

  // Runs a command; a ScriptError or ScriptError2 raised inside leaves with this statement's
  // line in place of its own, number or message unchanged.
  template <typename Command>
  ScriptStateNode* WithStatementLine(Command&& command) {
    try {
      return command();
    } catch (ScriptError& e) {
      e.m_Line = m_Line;
      throw;
    } catch (ScriptError2& e) {
      e.m_Line = m_Line;
      throw;
    }
  }
};

// The language's own commands by statement code: variables (PST, RSP, RST, RSX) and jumps
// (CLM, JMP, RJP, PJP, IVG). Every other code runs nothing and goes on with the next statement.
const CommandTable<ScriptStateNode>& CoreCommands();

class ScriptStateGroup : public CDoubleListGroup<ScriptStateGroup, ScriptStateNode> {
 public:
  ScriptStateGroup() = default;
  // Destroys every statement, empties both iv tables and frees a wait task still pending.
  ~ScriptStateGroup() override;

  // A new statement owned by this group, at the reader's current line, page number 0.
  virtual std::unique_ptr<ScriptStateNode> CreateNode();
  // Resets the page number, declares the judge operands, records the script as begun and
  // clears the wait task. 1 when the script was begun before, else 0.
  virtual int OnBegin();
  virtual void OnEnd() {}
  // Runs from the page with that number (-1: from the first statement). 0 when the script
  // ended or quit; 1 for a return to the title; 2 for a load. A script error leaves as the
  // error object.
  virtual int Run(int32_t startPage);
  virtual int32_t OnMessage(int32_t code, uintptr_t a, uintptr_t b);

  // Compiles a Shift-JIS script of size bytes (a NUL ends it early). Returns 0; errors leave
  // as the error object.
  int Compile(const void* source, size_t size, std::u16string_view fileName);
  // Reads "iv.txt" into the two tables. Throws ScriptError2 "書式が違います" for an entry
  // that does not begin with '#'.
  void ReadIVTables(const void* text, size_t size);
  // The page statement that opens the label's page, or null when no LAB carries the name.
  ScriptStateNode* FindLabel(std::u16string_view name);
  // The page statement to go on with for iv number n.
  ScriptStateNode* DispatchIV(int32_t n);

  // The wait task a statement leaves behind; the run loop owns it from then on.
  void SetWaitTask(ACT* act) { m_pWaitTask = act; }
  ACT* WaitTask() const { return m_pWaitTask; }
  ScriptStateNode* Current() const { return m_pCurrent; }

  WString m_FileName;
  ScriptReader m_Reader;
  ScriptError m_LastError;
  ScriptError2 m_LastError2;
  IVJUMPTABLEGROUP m_JumpTable;
  IVJUDGETABLEGROUP m_JudgeTable;
  ACT* m_pWaitTask = nullptr;
  ScriptStateNode* m_pCurrent = nullptr;

 private:
  void FreeWaitTask();
  ScriptStateNode* RunLoop(int32_t startPage);
};

// The group being compiled (for the parser's error routine), or null.
extern ScriptStateGroup* g_pCompilingGroup;
// The current page number: 0 at the begin of a run, the start page when a run resumes; the
// game's page statements update it.
extern int32_t g_CurrentPage;

// Parses the whole text of the group's reader, appending the statements. 0 when accepted;
// every error leaves by an exception.
int yyparse(ScriptStateGroup& group);
// The parser's error routine: a debug line, then the error object with the file name of the
// group being compiled and the reader's line. message is Shift-JIS.
[[noreturn]] void yyerror(const char* message);

}  // namespace TextScript

// Set while the scene-replay screen plays a scene: PST and PJP do nothing.
extern bool g_SceneReplayMode;
