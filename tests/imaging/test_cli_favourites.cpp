// lumetta-cli favourites (list, export, import) and apply, run as users run them: as a separate
// program whose settings follow XDG_CONFIG_HOME, here a folder of each test's own.
#include <QCoreApplication>
#include <QDir>
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

#include "testimages.h"

namespace {

struct ToolRun
{
    int code = -1;
    QString out, err;
};

class CliFavourites : public ::testing::Test
{
protected:
    void SetUp() override
    {
        cli = QFileInfo(QCoreApplication::applicationDirPath() + "/../src/lumetta-cli").absoluteFilePath();
        if (!QFileInfo::exists(cli)) GTEST_SKIP() << "lumetta-cli not built";
        ASSERT_TRUE(dir.isValid());
        first = dir.filePath("first.png");
        second = dir.filePath("second.jpg");
        ASSERT_TRUE(testimages::pattern(120, 80).save(first));
        ASSERT_TRUE(testimages::pattern(64, 96).save(second, "JPEG", 95));
    }
    ToolRun run(const QStringList &args) const
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        p.setProcessEnvironment(env);
        p.start(cli, args);
        p.waitForFinished(120000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    QString write(const QString &name, const QByteArray &text) const
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return f.fileName();
    }
    QByteArray settingsBytes() const
    {
        QFile f(dir.filePath("config/Lumetta/Lumetta.conf"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QJsonArray listed() const
    {
        const ToolRun r = run({"favourites", "list", "--json"});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out.toUtf8()).object().value("favourites").toArray();
    }
    // Same size and pixels (whatever the stored format).
    static void expectSamePicture(const QString &a, const QString &b)
    {
        const QImage x = QImage(a).convertToFormat(QImage::Format_ARGB32), y = QImage(b).convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(x.isNull()) << a.toStdString();
        EXPECT_EQ(x.size(), y.size()) << a.toStdString();
        EXPECT_TRUE(x == y) << a.toStdString() << " differs from " << b.toStdString();
    }

    QString cli;
    QTemporaryDir dir;
    QString first, second;
};

const QByteArray threeFavourites = R"({"format": "lumetta-favourites", "version": 1, "favourites": [
    {"mode": "standard", "filter": "CISepiaTone", "name": "Sepia Tone", "values": {"inputIntensity": 0.5}},
    {"mode": "standard", "filter": "CIColorControls", "values": {"inputSaturation": 0.2, "inputContrast": 1.4}},
    {"mode": "custom", "effect": "linesEffect", "name": "Few lines", "settings": {"linesCount": 40}}
]})";

} // namespace

TEST_F(CliFavourites, ApplyOverSeveralFilesEqualsRenderAndEffectWithTheSameValues)
{
    ASSERT_EQ(run({"favourites", "import", write("fav.json", threeFavourites)}).code, 0);
    const QString broken = write("broken.png", "\x89PNG\r\n\x1a\n not a picture");
    const QString out = dir.filePath("out");

    ToolRun r = run({"apply", "--favourite", "2", first, broken, second, "--out-dir", out});
    EXPECT_EQ(r.code, 1) << "one file failed";
    // A line a file, the failing one named, and a final count.
    const QStringList lines = r.err.trimmed().split('\n').filter(QRegularExpression("^\\[\\d/3\\]"));
    EXPECT_EQ(lines.size(), 3) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("broken.png: cannot read")) << r.err.toStdString();
    EXPECT_TRUE(r.err.trimmed().endsWith("2 of 3 files written, 1 failed")) << r.err.toStdString();

    // Each written file is what render writes with the favourite's values (the JPEG kept as JPEG,
    // so it is compared after render writes it as JPEG too).
    for (const QString &in : {first, second}) {
        const QFileInfo info(in);
        const QString expected = dir.filePath("expected." + info.suffix());
        const ToolRun rendered = run({"render", "--filter", "CIColorControls", "--set", "inputSaturation=0.2", "--set",
                                  "inputContrast=1.4", in, expected});
        ASSERT_EQ(rendered.code, 0) << rendered.err.toStdString();
        expectSamePicture(out + "/" + info.fileName(), expected);
    }

    // A drawn favourite with a seed equals `effect` with that seed; --format chooses the type.
    r = run({"apply", "--favourite", "1", "--mode", "custom", "--seed", "9", "--format", "png", first, second, "--out-dir", out});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    for (const QString &in : {first, second}) {
        const QString expected = dir.filePath("expected-lines.png");
        ASSERT_EQ(run({"effect", "linesEffect", "--set", "linesCount=40", "--seed", "9", in, expected}).code, 0);
        expectSamePicture(out + "/" + QFileInfo(in).completeBaseName() + ".png", expected);
    }
}

TEST_F(CliFavourites, ApplyRefusesWhatItCannotDo)
{
    ASSERT_EQ(run({"favourites", "import", write("fav.json", threeFavourites)}).code, 0);
    const QString out = dir.filePath("out");
    EXPECT_EQ(run({"apply", "--favourite", "3", first, "--out-dir", out}).code, 1); // two standard favourites
    EXPECT_EQ(run({"apply", "--favourite", "2", "--mode", "custom", first, "--out-dir", out}).code, 1);
    EXPECT_EQ(run({"apply", "--favourite", "0", first, "--out-dir", out}).code, 2);
    EXPECT_EQ(run({"apply", "--favourite", "1", "--mode", "2d", first, "--out-dir", out}).code, 2);
    EXPECT_EQ(run({"apply", "--favourite", "1", "--format", "xyz", first, "--out-dir", out}).code, 2);
    EXPECT_EQ(run({"apply", "--favourite", "1", first}).code, 2);
    // An output that would replace its own input is not written.
    QFile input(first);
    ASSERT_TRUE(input.open(QIODevice::ReadOnly));
    const QByteArray original = input.readAll();
    input.close();
    const ToolRun r = run({"apply", "--favourite", "1", first, "--out-dir", dir.path()});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.contains("would replace")) << r.err.toStdString();
    ASSERT_TRUE(input.open(QIODevice::ReadOnly));
    EXPECT_EQ(input.readAll(), original);
}

TEST_F(CliFavourites, ExportAndImportCarryEveryModeAndAMalformedFileChangesNothing)
{
    ASSERT_EQ(run({"favourites", "import", write("fav.json", threeFavourites)}).code, 0);
    const ToolRun text = run({"favourites", "list"});
    ASSERT_EQ(text.code, 0);
    EXPECT_TRUE(text.out.contains("standard (2)")) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains("inputIntensity = 0.5")) << text.out.toStdString();
    EXPECT_EQ(run({"favourites", "list", "--yaml"}).code, 2);
    const QJsonArray before = listed();
    ASSERT_EQ(before.size(), 3);
    EXPECT_EQ(before[1].toObject().value("name").toString(), "Color Controls"); // the filter's own name
    EXPECT_EQ(before[2].toObject().value("settings").toObject().value("linesCount").toDouble(), 40);

    const QByteArray stored = settingsBytes();
    const QList<QByteArray> malformed{
        "{\"format\": \"lumetta-favourites\", \"version\": 1, \"favourites\": [",
        R"({"format": "lumetta-favourites", "version": 1, "favourites": [
            {"mode": "standard", "filter": "CISepiaTone", "values": {"inputIntensity": 0.3}},
            {"mode": "standard", "filter": "CISepiaTone", "values": {"inputIntensity": "strong"}}]})",
        R"({"format": "something-else", "version": 1, "favourites": []})",
    };
    for (const QByteArray &text : malformed) {
        const ToolRun r = run({"favourites", "import", write("bad.json", text)});
        EXPECT_EQ(r.code, 1) << text.toStdString();
        EXPECT_TRUE(r.err.contains("nothing imported")) << r.err.toStdString();
        EXPECT_EQ(settingsBytes(), stored);
    }
    EXPECT_EQ(run({"favourites", "import", dir.filePath("missing.json")}).code, 1);

    // Exported and imported again: the lists are doubled with the same values.
    const QString exported = dir.filePath("shared/favourites.json");
    QDir().mkpath(dir.filePath("shared"));
    ASSERT_EQ(run({"favourites", "export", exported}).code, 0);
    ASSERT_EQ(run({"favourites", "import", exported}).code, 0);
    const QJsonArray after = listed();
    ASSERT_EQ(after.size(), 6);
    // Listed by mode: standard 1, 2, 1', 2', then custom 1, 1'.
    for (const auto &[a, b] : {std::pair{0, 2}, {1, 3}, {4, 5}}) {
        QJsonObject x = after[a].toObject(), y = after[b].toObject();
        x.remove("index");
        y.remove("index");
        EXPECT_EQ(x, y) << a << " " << b;
    }
}
