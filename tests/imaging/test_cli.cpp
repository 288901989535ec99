#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/imagefiles.h"
#include "testimages.h"
#include "../platform/imagefixtures.h"

// lumetta-cli is run as a separate program, as users and the benchmark script run it. It is built
// beside this test program (build/src next to build/tests); without it these cases are skipped.
namespace {

QString cliPath()
{
    return QFileInfo(QCoreApplication::applicationDirPath() + "/../src/lumetta-cli").absoluteFilePath();
}

struct CliRun
{
    int code = -1;
    QString out, err;
};

CliRun run(const QStringList &args)
{
    QProcess p;
    p.start(cliPath(), args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

class Cli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(cliPath())) GTEST_SKIP() << "lumetta-cli not built";
        ASSERT_TRUE(dir.isValid());
        input = dir.filePath("in.png");
        ASSERT_TRUE(testimages::pattern(120, 80).save(input));
    }
    QTemporaryDir dir;
    QString input;
};

} // namespace

TEST_F(Cli, FiltersJsonListsRowsAndEveryFilter)
{
    const CliRun r = run({"filters", "--json"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    const QJsonObject doc = QJsonDocument::fromJson(r.out.toUtf8()).object();
    const QJsonArray rows = doc.value("rows").toArray();
    ASSERT_EQ(rows.size(), 9);
    EXPECT_EQ(rows[0].toObject().value("name").toString(), "Geometry");
    const QJsonObject filters = doc.value("filters").toObject();
    EXPECT_TRUE(filters.contains("CIPageCurlTransition")); // outside the rows, still listed
    const QJsonArray inputs = filters.value("CIGaussianBlur").toObject().value("inputs").toArray();
    ASSERT_EQ(inputs.size(), 2);
    const QJsonObject radius = inputs[1].toObject();
    EXPECT_EQ(radius.value("key").toString(), "inputRadius");
    EXPECT_EQ(radius.value("type").toString(), "CIAttributeTypeDistance");
    EXPECT_DOUBLE_EQ(radius.value("default").toDouble(), 10.0);
    EXPECT_TRUE(radius.contains("sliderMax"));
}

TEST_F(Cli, RenderWritesTheCompositionAndTimesIt)
{
    const QString out = dir.filePath("out.png");
    CliRun r = run({"render", "--filter", "CIColorInvert", "--time", input, out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.trimmed().split('\n').last().startsWith("render_ms="));
    QImage img(out);
    ASSERT_EQ(img.size(), QSize(120, 80));
    const QRgb p = testimages::pattern(120, 80).pixel(7, 9);
    EXPECT_EQ(img.pixel(7, 9), qRgb(255 - qRed(p), 255 - qGreen(p), 255 - qBlue(p)));
    // Timing repeated draws the same picture; a count below one is refused.
    r = run({"render", "--filter", "CIColorInvert", "--time", "--repeat", "3", input, out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count("render_ms="), 1);
    EXPECT_EQ(QImage(out).pixel(7, 9), img.pixel(7, 9));
    EXPECT_EQ(run({"render", "--filter", "CIColorInvert", "--repeat", "0", input, out}).code, 2);

    // A generator is laid over the picture, cropped to it; --scale renders the preview size.
    r = run({"render", "--filter", "CICheckerboardGenerator", "--set", "inputWidth=20", "--set", "inputColor0=rgba(1,0,0,1)",
             "--scale", "0.5", input, out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    img = QImage(out);
    EXPECT_EQ(img.size(), QSize(60, 40));
}

TEST_F(Cli, BadInputGivesOneLineAndNonZeroExit)
{
    const QString out = dir.filePath("out.png");
    const QList<QStringList> bad = {
        {"render", "--filter", "CINoSuchFilter", input, out},
        {"render", "--filter", "CIGaussianBlur", "--set", "inputNoSuchKey=3", input, out},
        {"render", "--filter", "CIGaussianBlur", "--set", "inputRadius=ten", input, out},
        {"render", "--filter", "CITwirlDistortion", "--set", "inputCenter=[1 nan]", input, out},
        {"render", "--filter", "CIColorMonochrome", "--set", "inputColor=rgba(2,0,0,1)", input, out},
        {"render", "--filter", "CIGaussianBlur", dir.filePath("missing.png"), out},
        {"render", "--filter", "CIGaussianBlur", input, dir.filePath("out.unknownformat")},
        {"render", "--filter", "CIGaussianBlur", "--scale", "-1", input, out},
        {"frobnicate"},
    };
    for (const QStringList &args : bad) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const CliRun r = run(args);
        EXPECT_GT(r.code, 0);
        EXPECT_EQ(r.err.trimmed().count('\n'), 0) << r.err.toStdString();
        EXPECT_FALSE(r.err.trimmed().isEmpty());
    }
    // A corrupt file is an unreadable file, not a crash.
    QFile corrupt(dir.filePath("corrupt.png"));
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write("\x89PNG\r\n\x1a\n garbage");
    corrupt.close();
    EXPECT_EQ(run({"render", "--filter", "CIColorInvert", corrupt.fileName(), out}).code, 1);
}

namespace {

// The first picture pdfimages (poppler) finds in a PDF, as PNG: an independent reader of the file.
QImage pictureInPdf(const QString &pdf, const QString &prefix)
{
    if (QProcess::execute(QStringLiteral("pdfimages"), {QStringLiteral("-png"), pdf, prefix}) != 0)
        return QImage();
    return ImageFiles::readImageFile(prefix + "-000.png");
}

} // namespace

// `render` and `effect` read their input with the application's reader and write with its writer:
// the same files are accepted, and every export format comes out the same way from both.
TEST_F(Cli, RenderAndEffectReadAndWriteEveryFormatAlike)
{
    // A JPEG-2000 input, which the effect command once could not read; smooth, so that the lossy
    // formats stay close.
    QImage smooth(120, 80, QImage::Format_RGB32);
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            smooth.setPixel(x, y, qRgb(x * 2, y * 3, (x + y) / 2));
    const QString jp2 = dir.filePath("in.jp2");
    ASSERT_TRUE(ImageFiles::writeImageFile(smooth, jp2));
    const QList<QStringList> commands = {{"render", "--filter", "CIColorInvert"},
                                         {"effect", "plasmaEffect", "--seed", "3"}};
    const QStringList extensions = {"jpeg", "jp2", "TIFF", "gif", "png", "bmp", "icns", "pdf"};
    const QList<QByteArray> signatures = {QByteArray("\xFF\xD8\xFF", 3), QByteArray("\0\0\0\x0CjP  ", 8), QByteArray("II*\0", 4),
                                          QByteArray("GIF8"), QByteArray("\x89PNG", 4), QByteArray("BM"),
                                          QByteArray("II*\0", 4), QByteArray("%PDF-")};
    for (const QStringList &command : commands) {
        SCOPED_TRACE(command.first().toStdString());
        const QString png = dir.filePath(command.first() + ".png");
        CliRun r = run(command + QStringList{jp2, png});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        const QImage reference = ImageFiles::readImageFile(png).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(reference.size(), QSize(120, 80));
        for (int i = 0; i < extensions.size(); ++i) {
            SCOPED_TRACE(extensions[i].toStdString());
            const QString out = dir.filePath(command.first() + "." + extensions[i]);
            r = run(command + QStringList{jp2, out});
            ASSERT_EQ(r.code, 0) << r.err.toStdString();
            EXPECT_TRUE(imagefixtures::readAll(out).startsWith(signatures[i]));
            QImage written;
            if (extensions[i] == "pdf") {
                written = pictureInPdf(out, dir.filePath(command.first() + "-pdf"));
            } else {
                written = ImageFiles::readImageFile(out);
            }
            ASSERT_EQ(written.size(), reference.size());
            written = written.convertToFormat(QImage::Format_RGB32);
            if (extensions[i] == "jpeg" || extensions[i] == "gif")
                EXPECT_LT(imagefixtures::meanAbsoluteDifference(written, reference), 6.0); // lossy: close, not equal
            else
                EXPECT_EQ(written, reference) << "a lossless format changed pixels";
        }
    }
}

TEST_F(Cli, BadInputIsRefusedAlikeByEveryCommandWithoutAnOutputFile)
{
    const QString half = dir.filePath("half.jpg");
    QByteArray jpeg = ImageFiles::encodeImage(testimages::pattern(120, 80), ImageFiles::JPEG);
    jpeg = jpeg.left(jpeg.size() / 2) + QByteArray("\xFF\xD9", 2);
    QFile file(half);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size());
    file.close();
    const QString out = dir.filePath("out.png");
    for (const QStringList &command : {QStringList{"render", "--filter", "CIColorInvert"}, QStringList{"effect", "linesEffect"},
                                       QStringList{"render3d", "cube", "--size", "40x30"}}) {
        for (const QString &bad : {QStringLiteral("/dev/zero"), half, QStringLiteral(LUMETTA_TEST_DATA "/truncated.jpg")}) {
            SCOPED_TRACE((command.first() + " " + bad).toStdString());
            const CliRun r = run(command + QStringList{bad, out});
            EXPECT_EQ(r.code, 1);
            // One line of the tool's own (Qt may add notes about the environment).
            EXPECT_EQ(r.err.split('\n').filter(QRegularExpression("^lumetta-cli")).size(), 1) << r.err.toStdString();
            EXPECT_EQ(r.err.count("cannot read"), 1) << r.err.toStdString();
            EXPECT_FALSE(QFile::exists(out));
        }
        // An output that cannot be written says so once, without repeating itself.
        const CliRun r = run(command + QStringList{input, dir.filePath("no/such/folder/out.png")});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err.count("cannot write"), 1) << r.err.toStdString();
        EXPECT_EQ(r.err.count("no/such/folder"), 1) << r.err.toStdString();
        // An extension with no export format is refused before any work, even before the input
        // is read, and the message lists the extensions there are.
        const CliRun xyz = run(command + QStringList{QStringLiteral("/dev/zero"), dir.filePath("out.xyz")});
        EXPECT_EQ(xyz.code, 1);
        EXPECT_TRUE(xyz.err.contains("no export format for the extension \"xyz\"")) << xyz.err.toStdString();
        EXPECT_TRUE(xyz.err.contains("jpeg-2000")) << xyz.err.toStdString();
    }
    // An image-valued input goes through the same reader.
    const CliRun r = run({"render", "--filter", "CIColorMap", "--set", "inputGradientImage=/dev/zero", input, out});
    EXPECT_NE(r.code, 0);
    EXPECT_TRUE(r.err.contains("not a regular file")) << r.err.toStdString();
}

TEST_F(Cli, InfoPrintsThePropertyTreeAsTextAndJson)
{
    const QString photo = QStringLiteral(LUMETTA_SOURCE_DIR "/tests/data/exif_cat.jpg");
    const CliRun text = run({"info", photo});
    ASSERT_EQ(text.code, 0) << text.err.toStdString();
    const QStringList lines = text.out.split('\n');
    EXPECT_EQ(lines.value(0), "Path: " + photo);
    EXPECT_EQ(lines.value(1), "Type: JPG Image");
    EXPECT_EQ(lines.value(2), QStringLiteral("Size: %1 bytes").arg(QFileInfo(photo).size()));
    EXPECT_EQ(lines.value(3), "Color Model: RGB");
    // Groups by name, their members indented under them.
    const qsizetype exif = lines.indexOf("Exif"), photoGroup = lines.indexOf("  Photo");
    ASSERT_GT(exif, 0);
    EXPECT_GT(photoGroup, exif);
    EXPECT_GT(lines.indexOf("    Exposure Time: 1/125 s"), photoGroup);
    EXPECT_GT(lines.indexOf("    F Number: f/2.8"), photoGroup);

    const CliRun json = run({"info", "--json", photo});
    ASSERT_EQ(json.code, 0) << json.err.toStdString();
    const QJsonObject doc = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_EQ(doc.value("type").toString(), "JPG Image");
    EXPECT_EQ(doc.value("typeIdentifier").toString(), "public.jpeg");
    EXPECT_EQ(doc.value("size").toInteger(), QFileInfo(photo).size());
    const QJsonArray properties = doc.value("properties").toArray();
    QJsonObject exifNode;
    for (const QJsonValue &p : properties)
        if (p.toObject().value("key") == "{Exif}")
            exifNode = p.toObject();
    EXPECT_EQ(exifNode.value("name").toString(), "Exif");
    EXPECT_FALSE(exifNode.contains("value"));
    const QJsonArray groups = exifNode.value("children").toArray();
    ASSERT_EQ(groups.size(), 3);
    EXPECT_EQ(groups[2].toObject().value("key").toString(), "Photo");
}

TEST_F(Cli, InfoOnAnUnreadableFileSaysNotAvailableAndFails)
{
    QFile notes(dir.filePath("notes.jpg"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("plain words");
    notes.close();
    const CliRun text = run({"info", notes.fileName()});
    EXPECT_EQ(text.code, 1);
    EXPECT_EQ(text.out, QStringLiteral("Path: %1\nType: n/a\nSize: n/a\n").arg(notes.fileName()));
    EXPECT_EQ(text.err.trimmed().count('\n'), 0);
    EXPECT_TRUE(text.err.contains("notes.jpg"));

    const CliRun json = run({"info", dir.filePath("missing.png"), "--json"});
    EXPECT_EQ(json.code, 1);
    const QJsonObject doc = QJsonDocument::fromJson(json.out.toUtf8()).object();
    EXPECT_TRUE(doc.value("type").isNull());
    EXPECT_TRUE(doc.value("size").isNull());
    EXPECT_TRUE(doc.value("properties").toArray().isEmpty());
    EXPECT_FALSE(doc.value("error").toString().isEmpty());

    for (const QStringList &args : {QStringList{"info"}, QStringList{"info", input, input}, QStringList{"info", "--xml", input}}) {
        const CliRun r = run(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err.trimmed().count('\n'), 0) << r.err.toStdString();
    }
}
