// Replays every file below the folder given through the fuzz target, so that the seed corpus
// and every input that ever found a fault run on each test run without the fuzzing compiler.
#include <QDirIterator>
#include <QFile>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char **argv)
{
    int inputs = 0;
    for (QDirIterator it(argc == 2 ? argv[1] : "-", QDir::Files, QDirIterator::Subdirectories);
         it.hasNext(); ++inputs) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray bytes = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()),
                               size_t(bytes.size()));
    }
    return inputs > 0 ? 0 : 1;
}
