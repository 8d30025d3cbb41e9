#pragma once

// Under libFuzzer a target's generated seeds (pvsmFuzzSeeds) are written as
// files into the folder named by PVSM_FUZZ_SEED_DIR before fuzzing starts, so
// the run begins from valid files (scripts/fuzz.sh passes that folder as the
// corpus). The standalone driver calls pvsmFuzzSeeds itself and never this.
// Include it in the one source file of a fuzz target: it defines the hook.

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <vector>

#if defined(__clang__)
#pragma clang diagnostic ignored "-Wreturn-type-c-linkage" // only C++ calls it
#endif
extern "C" std::vector<QByteArray> pvsmFuzzSeeds();

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const QByteArray dir = qgetenv("PVSM_FUZZ_SEED_DIR");
    if (dir.isEmpty()) return 0;
    QDir().mkpath(QString::fromLocal8Bit(dir));
    for (const QByteArray &seed : pvsmFuzzSeeds()) {
        const QString name = QString::fromLatin1(QCryptographicHash::hash(seed, QCryptographicHash::Sha1).toHex());
        QFile f(QString::fromLocal8Bit(dir) + QLatin1String("/seed-") + name);
        if (f.open(QIODevice::WriteOnly)) f.write(seed);
    }
    return 0;
}
