// A fuzz target's entry point run over kept inputs, without libFuzzer, so
// that the plain and sanitizer builds replay them as ordinary tests. Each
// argument is a file or a folder of them; a folder not there holds none yet
// (a target's regressions/ is made with its first finding). A broken property
// aborts, as under the fuzzer; the input it broke on is the last one named.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
// Only the targets that set something up before their first input define it.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString path = QFile::decodeName(argv[i]);
        QStringList files;
        if (!QFileInfo::exists(path)) {
            std::fprintf(stderr, "%s: none kept\n", qPrintable(path));
        } else if (QFileInfo(path).isDir()) {
            for (const QString &name : QDir(path).entryList(QDir::Files, QDir::Name))
                files << path + QLatin1Char('/') + name;
        } else {
            files << path;
        }
        for (const QString &file : files) {
            QFile input(file);
            if (!input.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(file), qPrintable(input.errorString()));
                return 1;
            }
            const QByteArray bytes = input.readAll();
            std::fprintf(stderr, "%s\n", qPrintable(file));
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
            ++inputs;
        }
    }
    std::fprintf(stderr, "%d inputs, every property held\n", inputs);
    return 0;
}
