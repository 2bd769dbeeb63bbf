// The actions. Each formula draws before its action tests the actor's mp, so a failed spell still
// moves the random sequence and still shows its trace.
#include "combat/actions.h"

#include "combat/saturating.h"

#include <cstdint>

namespace {

constexpr int kMagicAttackCost = 5;
constexpr int kMagicShieldCost = 6;
constexpr int kHealCost = 4;

int traced(std::int64_t value, const GameText& marker, Console& console)
{
    const int result = saturated(value);
    write(console, marker, result);
    return result;
}

int traced(std::int64_t value, Console& console) { return traced(value, "(((((", console); }

// d%20 + 1, traced with its own, longer marker.
int manaGain(GameRandom& random, Console& console) { return traced(random.below(20) + 1, "((((((", console); }

void magicAttack(Combatant& actor, Combatant& target, GameRandom& random, Console& console)
{
    const int power = spellPower(actor, random, console);
    if (actor.mp <= 0) {
        writeLine(console, actor.name, "想挫火球！但是什么都没有！");
        waitForKey(console);
        return;
    }
    writeLine(console, actor.name, "搓起了火球！，向", target.name, "来了一发！", "攻击力是：", power);
    addSaturated(actor.mp, -kMagicAttackCost);
    resolveHit(target, power, console);
}

void magicShield(Combatant& actor, Console& console)
{
    const int value = shieldValue(actor, console);
    if (actor.mp <= 0) {
        writeLine(console, actor.name, "很疲倦地抚摸自己的身体！什么也没发生！");
    } else {
        writeLine(console, actor.name, "用魔法给自己镀了一层保护膜！");
        addSaturated(actor.mp, -kMagicShieldCost);
        addSaturated(actor.guard, value);
    }
    waitForKey(console);
}

void heal(Combatant& actor, GameRandom& random, Console& console)
{
    const int value = healAmount(actor, random, console);
    if (actor.mp <= 0) {
        writeLine(console, actor.name, "在默念什么咒语，可是什么都没发生！");
    } else {
        writeLine(console, actor.name, "用魔法在治愈自己！");
        addSaturated(actor.mp, -kHealCost);
        addSaturated(actor.hp, value);
    }
    waitForKey(console);
}

}  // namespace

int physicalPower(const Combatant& actor, GameRandom& random, Console& console)
{
    return traced(std::int64_t{actor.dps} + random.below(10), console);
}

int spellPower(const Combatant& actor, GameRandom& random, Console& console)
{
    return traced(std::int64_t{actor.dps} + actor.mp / 2 + random.below(15), console);
}

int stanceValue(const Combatant& actor, Console& console)
{
    return traced(std::int64_t{actor.dps} - actor.hp / 2, console);
}

int shieldValue(const Combatant& actor, Console& console)
{
    return traced(std::int64_t{actor.dps} + actor.mp / 2 + (100 - std::int64_t{actor.dps}) / 2, console);
}

int healAmount(const Combatant& actor, GameRandom& random, Console& console)
{
    return traced(std::int64_t{actor.dps} + random.below(20) + 1, console);
}

void resolveHit(Combatant& target, int power, Console& console)
{
    int damage = saturated(std::int64_t{power} - target.guard);
    if (damage < 0) {
        damage = 1;  // only a negative result is raised: a hit fully absorbed does 0
    }
    target.guard = 0;
    writeLine(console, "击中了！", "给", target.name, "造成了", damage, "点伤害");
    addSaturated(target.hp, -std::int64_t{damage});
    waitForKey(console);
}

void performAction(Combatant& actor, Combatant& target, char code, GameRandom& random, Console& console)
{
    switch (code) {
    case ActionCode::PhysicalAttack: {
        const int power = physicalPower(actor, random, console);
        writeLine(console, actor.name, "举起了剑，向", target.name, "挥舞了过去", "攻击力是：", power);
        resolveHit(target, power, console);
        break;
    }
    case ActionCode::MagicAttack: magicAttack(actor, target, random, console); break;
    case ActionCode::PhysicalDefense: {
        const int value = stanceValue(actor, console);
        writeLine(console, actor.name, "跨出了马步，做出了防御的姿势！");
        addSaturated(actor.guard, value);
        waitForKey(console);
        break;
    }
    case ActionCode::MagicShield: magicShield(actor, console); break;
    case ActionCode::Heal: heal(actor, random, console); break;
    case ActionCode::AwakenMagic: {
        const int value = manaGain(random, console);
        writeLine(console, actor.name, "在冥想，唤醒了自身潜在的魔法能量！");
        addSaturated(actor.mp, value);
        waitForKey(console);
        break;
    }
    default: break;  // not an action: the turn is lost without a word
    }
}
