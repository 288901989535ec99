// libFuzzer target for the image-loading path: any bytes handed to the readers (file contents,
// clipboard data) must give a picture or nothing, never a crash, a hang or an unbounded allocation.
// Pictures that do decode are fed to the GIF and JPEG-2000 encoders as well.
#include "platform/imagefiles.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Image plug-ins are found through the application object; the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: libFuzzer leaves through exit(), and tearing Qt down from an exit handler
    // runs after parts of Qt are already gone.
    static QGuiApplication *application = new QGuiApplication(*argc, *argv);
    Q_UNUSED(application);
    // Decoding a legitimately huge picture is correct but slow: the fuzzer looks for faults.
    ImageFiles::setPixelLimit(4'000'000);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QImage picture = ImageFiles::readImageData(bytes);
    if (!picture.isNull() && qint64(picture.width()) * picture.height() <= 64 * 64) {
        ImageFiles::encodeImage(picture, ImageFiles::GIF);
        ImageFiles::encodeImage(picture, ImageFiles::JPEG2000);
    }
    return 0;
}
