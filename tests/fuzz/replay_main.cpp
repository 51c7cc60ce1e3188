// Runs a fuzz target without libFuzzer: over every file of the seed corpus
// folders given on the command line, then over deterministic pseudo-random
// mutations of them, so the ordinary test run keeps each target honest.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::vector<QByteArray> seeds;
    for (const QString& dir : app.arguments().mid(1))
        for (const QFileInfo& info : QDir(dir).entryInfoList(QDir::Files)) {
            QFile f(info.filePath());
            if (f.open(QIODevice::ReadOnly))
                seeds.push_back(f.readAll());
        }
    if (seeds.empty())
        seeds.push_back(QByteArray());
    std::mt19937 random(5400);
    std::size_t runs = 0;
    for (const QByteArray& seed : seeds) {
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(seed.constData()),
                               std::size_t(seed.size()));
        ++runs;
        for (int i = 0; i < 400; ++i) {
            QByteArray input = seed;
            const int edits = 1 + int(random() % 4);
            for (int e = 0; e < edits; ++e) {
                const int at = input.isEmpty() ? 0 : int(random() % std::size_t(input.size()));
                switch (random() % 3) {
                case 0:
                    input.insert(at, char(random() % 256));
                    break;
                case 1:
                    if (!input.isEmpty())
                        input[at] = char(random() % 256);
                    break;
                default:
                    if (!input.isEmpty())
                        input.remove(at, 1 + int(random() % 3));
                }
            }
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()),
                                   std::size_t(input.size()));
            ++runs;
        }
    }
    std::printf("%zu inputs, no fault\n", runs);
    return 0;
}
