// libFuzzer target for the stored-settings archive: any bytes in the user defaults must give a
// value or nothing, within the archive's bounds, never a crash, a hang or a large allocation. A
// value that reads is written again and must read back.
#include "platform/archive.h"
#include "platform/imagefiles.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication *application = new QGuiApplication(*argc, *argv);
    Q_UNUSED(application);
    ImageFiles::setUpReading();
    // The archive logs every refusal; thousands of lines a second only slow the fuzzer down.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error;
    const auto value = Archive::unarchive(bytes, &error);
    if (!value)
        return 0;
    // What was read can be stored again, and reads back as the same value.
    const QByteArray again = Archive::archivedData(*value);
    if (again.isEmpty())
        return 0; // e.g. a picture whose PNG grew past the bound when written again
    const auto back = Archive::unarchive(again, &error);
    if (!back || *back != *value)
        std::abort();
    return 0;
}
