#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "testimages.h"

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
