#pragma once

#include <QByteArray>
#include <QDebug>
#include <QRandomGenerator>
#include <QtGlobal>

// The size of a test's random run: `cases` drawn from `seed`, unless the
// environment asks for another run (WEIBAO_FUZZ_CASES, WEIBAO_FUZZ_SEED),
// as a long run under the sanitizers does.  A run asked for is named in the
// output, so that a failing one can be repeated.
struct RandomRun
{
    int cases;
    quint32 seed;
};

inline RandomRun RandomRunOf(int cases, quint32 seed)
{
    RandomRun run{cases, seed};
    bool ok = false;
    const int asked = qEnvironmentVariableIntValue("WEIBAO_FUZZ_CASES", &ok);
    if (ok && asked > 0)
        run.cases = asked;
    const QByteArray seedText = qgetenv("WEIBAO_FUZZ_SEED");
    const quint32 askedSeed = seedText.toUInt(&ok);
    if (ok)
        run.seed = askedSeed;
    if (run.cases != cases || run.seed != seed)
        qInfo("random run: %d cases, seed %u", run.cases, run.seed);
    return run;
}

// One to three random edits of `bytes`: a byte replaced by or a byte inserted
// from `pool`, or one to three bytes removed.
inline void DamageBytes(QByteArray& bytes, QRandomGenerator& random, const QByteArray& pool)
{
    for (int n = 1 + random.bounded(3); n > 0; --n) {
        const int at = random.bounded(int(bytes.size()));
        const char c = pool[random.bounded(int(pool.size()))];
        switch (random.bounded(3)) {
        case 0:
            bytes[at] = c;
            break;
        case 1:
            bytes.insert(at, c);
            break;
        default:
            bytes.remove(at, 1 + random.bounded(3));
        }
    }
}
