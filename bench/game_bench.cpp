// Benchmarks of the game in-process: a whole campaign played by a scripted player, one enemy
// decision, and the making of the pool of 25 enemies. Speed is measured here, never asserted in
// tests.
#include "app/title_menu.h"
#include "combat/combatant.h"
#include "combat/enemy_turn.h"
#include "console/console.h"
#include "random/game_random.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// With this seed the scripted player below beats all six enemies and the demon king, so one
// iteration is the longest kind of game: every battle and the victory ending.
constexpr std::uint32_t kVictorySeed = 54;

// The title choice, a name, yes to the name and to the first roll, then actions 5, 1, 2, 1 over
// and over: far more than any campaign needs. bench/compare_floor.sh feeds the real game the same.
std::string victoryScript()
{
    std::string script = "1 Hero y y";
    for (int i = 0; i < 400; ++i) {
        script += " 5 1 2 1";
    }
    return script + "\n";
}

struct Played {
    int status = 0;
    std::string output;
};

Played playCampaign(const std::string& script, TextEncoding encoding)
{
    std::string output;
    ConsoleReader in = memoryReader(script);
    ConsoleWriter out = memoryWriter(output);
    Console console{in, out, encoding, std::nullopt};
    GameRandom random;
    random.seed(kVictorySeed);
    const int status = exitStatus(runTitleMenu(random, console));
    flush(out);
    return {status, std::move(output)};
}

// Arg: the encoding of the game's texts (0 UTF-8, 1 GBK).
void BM_WholeCampaign(benchmark::State& state)
{
    const auto encoding = state.range(0) == 0 ? TextEncoding::Utf8 : TextEncoding::Gbk;
    const std::string script = victoryScript();
    const Played check = playCampaign(script, encoding);
    if (check.status != 0 || check.output.find("**  E N D  **") == std::string::npos) {
        state.SkipWithError("the scripted player no longer wins this campaign");
        return;
    }
    for (auto _ : state) {
        Played played = playCampaign(script, encoding);
        benchmark::DoNotOptimize(played);
    }
    state.counters["games"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(check.output.size()));
}
BENCHMARK(BM_WholeCampaign)->ArgName("gbk")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

Combatant fighter(int hp, int mp)
{
    Combatant c{std::string("x")};
    c.hp = hp;
    c.mp = mp;
    c.dps = 40;
    return c;
}

// One enemy decision, taken in turn in every situation its rules tell apart: the enemy healthy or
// not, the hero rich or poor in mp, and each of the hero's hp bands.
void BM_ChooseEnemyAction(benchmark::State& state)
{
    std::vector<std::pair<Combatant, Combatant>> situations;
    for (const int heroHp : {150, 5, 15, 25, 35, 45, 75}) {
        for (const int heroMp : {50, 2}) {
            for (const int enemyHp : {150, 60}) {
                situations.emplace_back(fighter(heroHp, heroMp), fighter(enemyHp, 30));
            }
        }
    }
    GameRandom random;
    random.seed(kVictorySeed);
    std::size_t next = 0;
    for (auto _ : state) {
        const auto& [hero, enemy] = situations[next];
        benchmark::DoNotOptimize(chooseEnemyAction(hero, enemy, random));
        if (++next == situations.size()) {
            next = 0;
        }
    }
}
BENCHMARK(BM_ChooseEnemyAction);

// The campaign's pool: createEnemy 25 times, each writing its announcement line.
void BM_EnemyPool(benchmark::State& state)
{
    std::string output;
    ConsoleReader in = memoryReader("");
    ConsoleWriter out = memoryWriter(output);
    Console console{in, out, TextEncoding::Utf8, std::nullopt};
    GameRandom random;
    random.seed(kVictorySeed);
    for (auto _ : state) {
        std::array<Combatant, 25> pool;
        for (Combatant& enemy : pool) {
            enemy = createEnemy(console, random);
        }
        benchmark::DoNotOptimize(pool);
        flush(out);
        output.clear();
    }
}
BENCHMARK(BM_EnemyPool)->Unit(benchmark::kMicrosecond);

}  // namespace
