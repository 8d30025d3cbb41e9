// Runs a fuzz target without libFuzzer: on each file named on the command line,
// or, without arguments, on a fixed series of pseudo-random inputs (some of
// them mutations of the target's own seed, when it offers one).
#include <QByteArray>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
// A target may offer valid inputs to mutate (weak: targets without one link too).
extern "C" __attribute__((weak)) std::vector<QByteArray> pvsmFuzzSeeds();

int main(int argc, char **argv)
{
    if (argc > 1) {
        for (int i = 1; i < argc; ++i) {
            QFile f(QString::fromLocal8Bit(argv[i]));
            if (!f.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", argv[i]);
                return 1;
            }
            const QByteArray data = f.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.constData()), size_t(data.size()));
        }
        return 0;
    }
    std::mt19937 rng(12345);
    std::vector<QByteArray> seeds;
    if (pvsmFuzzSeeds) seeds = pvsmFuzzSeeds();
    int runs = 0;
    for (int i = 0; i < 3000; ++i) {
        QByteArray input;
        if (!seeds.empty() && i % 3 != 0) {
            input = seeds[size_t(i) % seeds.size()];
            const int flips = 1 + int(rng() % 8);
            for (int k = 0; k < flips && !input.isEmpty(); ++k) {
                const auto pos = qsizetype(rng() % uint32_t(input.size()));
                switch (rng() % 3) {
                case 0: input[pos] = char(rng()); break;
                case 1: input.truncate(pos); break;
                default: input.insert(pos, char(rng())); break;
                }
            }
        } else {
            input.resize(qsizetype(rng() % 512));
            for (auto &c : input) c = char(rng());
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
        ++runs;
    }
    std::printf("%d inputs, no crash\n", runs);
    return 0;
}
