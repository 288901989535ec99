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
