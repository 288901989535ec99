// libFuzzer target for one decoder path of the picture reader, chosen when the target is built
// (LUMETTA_FUZZ_PATH): the bytes go to that path's header checks and decoder directly, so the
// fuzzer spends its time inside it rather than in the choice of format. The "any" path goes
// through ImageFiles::readImageData as every caller does. The program's own limits apply
// unchanged: a picture that passes them may legitimately take up to ImageFiles::memoryLimit, and
// libFuzzer's malloc and RSS limits (run_fuzz.sh) report anything beyond that as a fault.
// Pictures that decode are encoded again in every format the writer knows.
#include "platform/imagecodecs.h"
#include "platform/imagefiles.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

QImage decode(const QByteArray &bytes)
{
    const imagecodecs::Budget budget{ImageFiles::memoryLimit};
    QString error;
    imagecodecs::Declared declared;
    const char *path = LUMETTA_FUZZ_PATH;
    if (std::strcmp(path, "jpeg") == 0)
        return imagecodecs::readJpeg(bytes, budget, &error);
    if (std::strcmp(path, "gif") == 0)
        return imagecodecs::readGif(bytes, budget, &error);
    if (std::strcmp(path, "jpeg2000") == 0)
        return imagecodecs::readJpeg2000(bytes, budget, &error);
    if (std::strcmp(path, "png") == 0)
        return imagecodecs::inspectPng(bytes, declared, &error) ? imagecodecs::readWithQt(bytes, "png", declared, budget, &error) : QImage();
    if (std::strcmp(path, "bmp") == 0)
        return imagecodecs::inspectBmp(bytes, declared, &error) ? imagecodecs::readWithQt(bytes, "bmp", declared, budget, &error) : QImage();
    if (std::strcmp(path, "tiff") == 0)
        return imagecodecs::inspectTiff(bytes, declared, &error) ? imagecodecs::readWithQt(bytes, "tiff", declared, budget, &error) : QImage();
    return ImageFiles::readImageData(bytes, &error);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Image plug-ins are found through the application object; the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: libFuzzer leaves through exit(), and tearing Qt down from an exit handler
    // runs after parts of Qt are already gone.
    static QGuiApplication *application = new QGuiApplication(*argc, *argv);
    Q_UNUSED(application);
    ImageFiles::setUpReading();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QImage picture = decode(bytes);
    // Encoding every decoded picture in full would make the fuzzer an encoder benchmark: small
    // ones only.
    if (!picture.isNull() && qint64(picture.width()) * picture.height() <= 64 * 64)
        for (int format = 0; format < ImageFiles::FormatCount; ++format)
            ImageFiles::encodeImage(picture, format);
    return 0;
}
