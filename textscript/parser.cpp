// The parser: the token stream of the lexer turned into the group's flat statement list.
//
// The language is line-oriented and flat (no nesting), so a hand-written parser reading one
// token ahead accepts exactly what an LALR(1) parser of the grammar does, and finds each
// error at the same token, so the error's line is the same too.
#include <memory>
#include <string>

#include "lib/error.h"
#include "lib/sjis.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

namespace TextScript {

namespace {

const char kSyntaxError[] = "syntax error";

// "変数名は１文字にして下さい" as Shift-JIS.
const std::string& OneCharacterMessage() {
  static const std::string text = WideToSjis(u"変数名は１文字にして下さい");
  return text;
}

bool IsSeparator(int t) {
  return t == TOKEN_NEWLINE || t == TOKEN_SHARP_LINE || t == TOKEN_SLASH_LINE;
}

// The argument shapes of the command forms.
enum class Form {
  Word,          // W
  None,          // nothing
  OptionalWord,  // W or nothing
  OneOrTwo,      // W, or W W
  Text,          // T
  WordText,      // W T
  Assign,        // W op W  (op '=', '+' or '-')
  Compare,       // W op W W  (op '=', '<' or '>')
};

struct CommandForm {
  int token;
  uint8_t type;
  Form form;
  bool declareFirst;
};

const CommandForm kForms[] = {
    {TOKEN_GRP, STMT_GRP, Form::OneOrTwo, false},
    {TOKEN_CHR, STMT_CHR, Form::Word, false},
    {TOKEN_CHL, STMT_CHL, Form::Word, false},
    {TOKEN_LAB, STMT_LAB, Form::Word, false},
    {TOKEN_WAV, STMT_WAV, Form::Word, false},
    {TOKEN_PST, STMT_PST, Form::Assign, true},
    {TOKEN_SEL, STMT_SEL, Form::WordText, false},
    {TOKEN_RMS, STMT_RMS, Form::Text, false},
    {TOKEN_CLM, STMT_CLM, Form::Text, false},
    {TOKEN_LGR, STMT_LGR, Form::Word, false},
    {TOKEN_VOI, STMT_VOI, Form::Word, false},
    {TOKEN_JMP, STMT_JMP, Form::Word, false},
    {TOKEN_RJP, STMT_RJP, Form::Word, false},
    {TOKEN_PJP, STMT_PJP, Form::Compare, false},
    {TOKEN_RSP, STMT_RSP, Form::Word, true},
    {TOKEN_RST, STMT_RST, Form::Word, false},
    {TOKEN_RSX, STMT_RSX, Form::Word, false},
    {TOKEN_SFS, STMT_SFS, Form::Word, false},
    {TOKEN_DON, STMT_DON, Form::Word, true},
    {TOKEN_DOF, STMT_DOF, Form::None, false},
    {TOKEN_TOF, STMT_TOF, Form::None, false},
    {TOKEN_IVG, STMT_IVG, Form::Word, false},
    {TOKEN_SSL, STMT_SSL, Form::Word, false},
    {TOKEN_END0, STMT_END, Form::OptionalWord, false},
    {TOKEN_END1, STMT_END1, Form::OptionalWord, false},
    {TOKEN_END2, STMT_END2, Form::OptionalWord, false},
    {TOKEN_SED, STMT_SED, Form::None, false},
    {TOKEN_DGR, STMT_DGR, Form::Word, false},
    {TOKEN_FLS, STMT_FLS, Form::Word, false},
    {TOKEN_S1A, STMT_S1A, Form::Word, false},
    {TOKEN_S1B, STMT_S1B, Form::Word, false},
    {TOKEN_S1M, STMT_S1M, Form::None, false},
    {TOKEN_S2A, STMT_S2A, Form::Word, false},
    {TOKEN_S2B, STMT_S2B, Form::Word, false},
    {TOKEN_S2M, STMT_S2M, Form::None, false},
};

// Command forms indexed by token - TOKEN_SEL (262 to 299).
struct FormTable {
  const CommandForm* byToken[TOKEN_S2M - TOKEN_SEL + 1] = {};
  FormTable() {
    for (const CommandForm& f : kForms) byToken[f.token - TOKEN_SEL] = &f;
  }
  const CommandForm* Get(int token) const {
    if (token < TOKEN_SEL || token > TOKEN_S2M) return nullptr;
    return byToken[token - TOKEN_SEL];
  }
};

class Parser {
 public:
  explicit Parser(ScriptStateGroup& group) : m_Group(group) {}

  int Parse() {
    Next();
    for (;;) {
      if (m_Token == TOKEN_END) return 0;
      if (IsSeparator(m_Token)) {
        SeparatorRun();
        continue;
      }
      Command();
      Next();
    }
  }

 private:
  void Next() { m_Token = ScriptLex(m_Group.m_Reader, m_Value); }

  // The current token must be t; its value is kept in out (when given), then the next is read.
  void Expect(int t, WString* out = nullptr) {
    if (m_Token != t) yyerror(kSyntaxError);
    if (out) *out = std::move(m_Value.text);
    Next();
  }
  // The last token of a command: the line end, after which the command's rule completes, so
  // nothing further is read.
  void ExpectLineEnd() {
    if (m_Token != TOKEN_NEWLINE) yyerror(kSyntaxError);
  }

  // One or more separator lines make one page statement; it is made once the token after
  // the run has been read.
  void SeparatorRun() {
    while (IsSeparator(m_Token)) {
      if (m_Token != TOKEN_NEWLINE) {
        Next();
        if (m_Token != TOKEN_NEWLINE) yyerror(kSyntaxError);
      }
      Next();
    }
    std::unique_ptr<ScriptStateNode> node = m_Group.CreateNode();
    node->m_Type = STMT_PAGE;
    m_Group.Append(node.release());
  }

  void Finish(uint8_t type, uint8_t op, std::initializer_list<const WString*> args, const WString* declare1,
              const WString* declare2) {
    std::unique_ptr<ScriptStateNode> node = m_Group.CreateNode();
    node->m_Type = type;
    node->m_Op = op;
    for (const WString* a : args) node->AddArgument(*a);
    if (declare1) DeclareVariable(*declare1, 0);
    if (declare2) DeclareVariable(*declare2, 0);
    m_Group.Append(node.release());
  }

  // A command; on return the current token is its line end.
  void Command() {
    WString a, b, c;
    if (m_Token == TOKEN_TEXT) {
      a = std::move(m_Value.text);
      Next();
      ExpectLineEnd();
      Finish(STMT_MESSAGE, 0, {&a}, nullptr, nullptr);
      return;
    }
    if (m_Token == TOKEN_AT) {
      Next();
      Expect(TOKEN_WORD, &a);
      ExpectLineEnd();
      Finish(STMT_VOI, 0, {&a}, nullptr, nullptr);
      return;
    }
    static const FormTable table;
    const CommandForm* f = table.Get(m_Token);
    if (!f) yyerror(kSyntaxError);
    Next();
    switch (f->form) {
      case Form::Word:
        Expect(TOKEN_WORD, &a);
        ExpectLineEnd();
        if ((f->type == STMT_RST || f->type == STMT_RSX) && a.size() != 1) yyerror(OneCharacterMessage().c_str());
        Finish(f->type, 0, {&a}, f->declareFirst ? &a : nullptr, nullptr);
        return;
      case Form::None:
        ExpectLineEnd();
        Finish(f->type, 0, {}, nullptr, nullptr);
        return;
      case Form::OptionalWord:
        if (m_Token == TOKEN_WORD) {
          Expect(TOKEN_WORD, &a);
          ExpectLineEnd();
          Finish(f->type, 0, {&a}, nullptr, nullptr);
        } else {
          ExpectLineEnd();
          Finish(f->type, 0, {}, nullptr, nullptr);
        }
        return;
      case Form::OneOrTwo:
        Expect(TOKEN_WORD, &a);
        if (m_Token == TOKEN_WORD) {
          Expect(TOKEN_WORD, &b);
          ExpectLineEnd();
          Finish(f->type, 0, {&a, &b}, nullptr, nullptr);
        } else {
          ExpectLineEnd();
          Finish(f->type, 0, {&a}, nullptr, nullptr);
        }
        return;
      case Form::Text:
        Expect(TOKEN_TEXT, &a);
        ExpectLineEnd();
        Finish(f->type, 0, {&a}, nullptr, nullptr);
        return;
      case Form::WordText:
        Expect(TOKEN_WORD, &a);
        Expect(TOKEN_TEXT, &b);
        ExpectLineEnd();
        Finish(f->type, 0, {&a, &b}, nullptr, nullptr);
        return;
      case Form::Assign: {
        Expect(TOKEN_WORD, &a);
        const int op = m_Token;
        if (op != '=' && op != '+' && op != '-') yyerror(kSyntaxError);
        Next();
        Expect(TOKEN_WORD, &b);
        ExpectLineEnd();
        Finish(f->type, static_cast<uint8_t>(op), {&a, &b}, &a, nullptr);
        return;
      }
      case Form::Compare: {
        Expect(TOKEN_WORD, &a);
        const int op = m_Token;
        if (op != '=' && op != '<' && op != '>') yyerror(kSyntaxError);
        Next();
        Expect(TOKEN_WORD, &b);
        Expect(TOKEN_WORD, &c);
        ExpectLineEnd();
        Finish(f->type, static_cast<uint8_t>(op), {&a, &b, &c}, &a, &b);
        return;
      }
    }
  }

  ScriptStateGroup& m_Group;
  int m_Token = TOKEN_END;
  TokenValue m_Value;
};

}  // namespace

int yyparse(ScriptStateGroup& group) {
  return Parser(group).Parse();
}

void yyerror(const char* message) {
  ScriptStateGroup* g = g_pCompilingGroup;
  const char16_t* file = g ? g->m_FileName.c() : u"";
  const int line = g ? g->m_Reader.m_Line : 0;
  // The one report an author sees of this error, so it names the line the reader stopped on
  // (not -1, which told nobody where to look); start-up leaves a marked error unreported.
  DebugPrintf(u"%s(%d): %hs\n", file, line, message);
  ExceptionHandle e;
  ExceptionHandle out;
  e.SetLocation(file, line).Format(out, 0, 0, u"%hs", message);
  out.MarkReported();
  throw out;
}

}  // namespace TextScript
