// The script error texts and the report of a script error as the program's error object.
#include "textscript/scripterror.h"

namespace TextScript {

namespace {

const char16_t* const kErrorTexts[kScriptErrorTexts] = {
    u"0000: None",
    u"0001: 不明なコマンドです",
    u"0002: 文字列の書き方に間違いがあります",
    u"0003: ラベルはすでに定義されています",
    u"0004: ラベルが定義されていません",
    u"0005: 使われている変数は存在しません",
    u"0006: パラメータの指定に間違いがあります",
    u"0007: 対応する IF コマンドがありません",
    u"0008: 対応する WHILE / SWITCH コマンドがありません",
    u"0009: 計算式に間違いがあります",
    u"0010: 音楽番号が範囲を超えています",
    u"0011: CG番号が範囲を超えています",
    u"0012: CGデータがロードされていません",
    u"0013: スプライトが作成されていません",
    u"0014: メニューが見つかりません",
    u"0015: 文字列以外で全角文字が使われています",
};

}  // namespace

ScriptError2::ScriptError2(int32_t line, const char16_t* format, ...) : m_Line(line) {
  va_list args;
  va_start(args, format);
  CopyWideTruncated(m_Message, kMessageSize, FormatWideV(format, args));
  va_end(args);
}

const char16_t* ScriptErrorText(int32_t number) {
  if (number < 0 || number >= kScriptErrorTexts) return u"";
  return kErrorTexts[number];
}

void RaiseScriptError(const char16_t* kind, const char16_t* fileName, int32_t line, const char16_t* text,
                      bool reported) {
  DebugPrintf(u"%s(%d): %s Error: %s\n", fileName, line, kind, text);
  ExceptionHandle e;
  ExceptionHandle out;
  e.SetLocation(fileName, line).Format(out, 0, 0, u"%s", text);
  if (reported) out.MarkReported();
  throw out;
}

}  // namespace TextScript
