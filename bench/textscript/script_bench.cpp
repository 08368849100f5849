// Compile speed on a generated 5 MB scenario, and run speed of the core commands.
#include <benchmark/benchmark.h>

#include <string>

#include "lib/sjis.h"
#include "platform/log.h"
#include "textscript/statement.h"
#include "textscript/variables.h"

namespace {

std::u16string Num(int n) {
  std::u16string s;
  for (char c : std::to_string(n)) s += static_cast<char16_t>(c);
  return s;
}

// One scene of every statement kind with Japanese text, repeated up to about `bytes`.
std::string MakeScenario(size_t bytes) {
  std::string out;
  for (int n = 0; out.size() < bytes; ++n) {
    const std::u16string k = Num(n);
    std::u16string s;
    s += u"＃シーン" + k + u"\n.GRP bg" + Num(n % 10) + u" ev01\n.CHR c" + k + u"\n.CHL c" + k + u"\n.LAB L" + k;
    s += u"\n.WAV se" + k + u"\n.PST F" + Num(n % 50) + u" + " + k + u"\n.SEL 1 はい、行きます。\n";
    s += u".SEL 2 いいえ、やめておきます。\n.RMS 彼女は窓の外をじっと見つめていた。\n.CLM 注釈：ここは説明です。\n";
    s += u".LGR lg" + k + u"\n.VOI v" + k + u"\n@v" + k + u"\n「今日はいい天気ですね。」と彼は言った。\n";
    s += u"長い文章の二行目がここに続きます。春の風が吹いていた。\n遠くで鐘の音が聞こえる。\n\n";
    s += u".JMP L" + k + u"\n.RJP a\n.RJP b\n.RJP c\n.PJP F1 < 10 L" + k + u"\n.PJP 3 = F2 L" + k + u"\n";
    s += u".RSP R" + Num(n % 20) + u"\n.RST A\n.RSX B\n.SFS s\n.DON D1\n.DOF\n.TOF\n.IVG 1\n.SSL 2\n";
    s += u".END 1\n.END1\n.END2\n.SED\n.DGR d\n.FLS 3\n.S1A a\n.S1B b\n.S1M\n.S2A a\n.S2B b\n.S2M\n";
    s += u"// 注記は読み飛ばされる\n/// 区切り\n　静かな夜だった。月が雲の間から顔を出し、街を白く照らしている。\n\n";
    out += WideToSjis(s);
  }
  return out;
}

void BM_Compile(benchmark::State& state) {
  TextScript::RegisterScriptGlobals();
  platform::SetLogSink([](std::u16string_view) {});
  const std::string text = MakeScenario(5 * 1024 * 1024);
  size_t statements = 0;
  for (auto _ : state) {
    auto group = std::make_unique<TextScript::ScriptStateGroup>();
    group->Compile(text.data(), text.size(), u"bench.txt");
    statements = static_cast<size_t>(group->Count());
    state.PauseTiming();
    group.reset();
    g_Variables.Clear();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["statements"] = static_cast<double>(statements);
}
BENCHMARK(BM_Compile)->Unit(benchmark::kMillisecond);

// A loop of core commands: per pass the page, LAB, three PST, RSP, RST, PJP (no jump), the
// first CLM of two and the PJP back, ten statements.
void BM_RunCoreCommands(benchmark::State& state) {
  TextScript::RegisterScriptGlobals();
  constexpr int kLoops = 100000;
  const std::string text = WideToSjis(
      u"\n.LAB LOOP\n.PST I + 1\n.PST A = 5\n.PST B + 3\n.RSP C\n.RST Z\n.PJP A > 9 NEVER\n.CLM メモ\n.CLM メモ\n"
      u".PJP I < 100000 LOOP\n");
  TextScript::ScriptStateGroup group;
  group.Compile(text.data(), text.size(), u"bench.txt");
  for (auto _ : state) {
    g_Variables.Set(u"I", 0);
    group.Run(-1);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * (10 * kLoops + 1));
}
BENCHMARK(BM_RunCoreCommands)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
