// The desktop entry claims only image types the program can open.
#include "platform/imagefiles.h"

#include <QFile>
#include <QImageReader>
#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(DesktopEntry, EveryImageTypeItClaimsIsOneTheProgramOpens)
{
    QFile entry(QStringLiteral(LUMETTA_SOURCE_DIR "/resources/desktop/lumetta.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(entry.readAll());
    const QRegularExpressionMatch line = QRegularExpression(QStringLiteral("^MimeType=(.*)$"),
                                                            QRegularExpression::MultilineOption).match(text);
    ASSERT_TRUE(line.hasMatch());
    const QStringList claimed = line.captured(1).split(';', Qt::SkipEmptyParts);
    ASSERT_TRUE(claimed.contains("image/jpeg"));
    ASSERT_TRUE(claimed.contains("image/png"));

    QStringList readable;
    for (const QByteArray &type : QImageReader::supportedMimeTypes())
        readable << QString::fromLatin1(type);
    // JPEG-2000 has its own reader beside Qt's.
    QImage square(4, 4, QImage::Format_RGB32);
    square.fill(Qt::darkCyan);
    ASSERT_FALSE(ImageFiles::readImageData(ImageFiles::encodeImage(square, ImageFiles::JPEG2000)).isNull());
    readable << QStringLiteral("image/jp2");
    for (const QString &type : claimed)
        EXPECT_TRUE(readable.contains(type)) << type.toStdString() << " is claimed but no reader opens it";
}
