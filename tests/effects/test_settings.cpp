// Every drawn effect's settings in one loop: the stored form (keys, types, defaults) the settings and
// favourites have always been written in, reading it back, copying, and the control rows.
#include "effecttestsupport.h"

#include "effects/drawneffect.h"
#include "effects/effectcatalog.h"
#include "imaging/values.h"
#include "views/floatslider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSlider>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

struct Row
{
    QString label;
    double y; // bottom-left design coordinates of a 225 high panel
};

struct Slider
{
    double min, max;
    bool continuous;
};

struct StoredForm
{
    QString className;
    // Whether a copy keeps the anchor (the effects that follow the mouse).
    bool copiesAnchor;
    // What a fresh prototype saves.
    QVariantMap defaults;
    // The panel's labelled rows and its sliders, in the order they are made.
    std::vector<Row> rows;
    std::vector<Slider> sliders;
};

QVariant color(double r, double g, double b, double a)
{
    return QVariant::fromValue(imaging::Color(r, g, b, a));
}

// The base keys; the tips are the name and " Generator", or " Effect Generator" when `effectTips`.
QVariantMap base(const QString &name, const QString &className, float anchor, bool effectTips = false)
{
    const QString tips = name + (effectTips ? " Effect Generator" : " Generator");
    return {{"Name", name}, {"Tips", tips}, {"class", className},
            {"startPT.x", anchor}, {"startPT.y", anchor}};
}

// The base keys and the three common settings.
QVariantMap common(const QString &name, const QString &className, float anchor, const QVariant &bgColor, float opacity,
                   bool effectTips = false)
{
    QVariantMap m = base(name, className, anchor, effectTips);
    m.insert({{"useBackImage", true}, {"bgColor", bgColor}, {"opacity", opacity}});
    return m;
}

QVariantMap with(QVariantMap m, const QVariantMap &more)
{
    m.insert(more);
    return m;
}

std::vector<Row> commonRows(const QString &opacityLabel, double colorY = 196, double imageY = 167, double opacityY = 142)
{
    return {{"Background Color:", colorY}, {"Background Image:", imageY}, {opacityLabel, opacityY}};
}

template <class T>
std::vector<T> join(std::vector<T> a, const std::vector<T> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The unset anchor as stored files hold it.
const float unset = -11000;
const QVariant halfWhite = color(1, 1, 1, 0.5);

std::vector<StoredForm> storedForms()
{
    const Slider opacity{0, 100, true};
    return {
        {"simpleEffects", false,
         with(common("Simple Objects", "simpleEffects", 0, halfWhite, 50), {{"drawObj", 0}, {"object_count", 30}}),
         join<Row>({{"Object type:", 196}}, join(commonRows("Objects opacity:", 167, 142, 120), {{"Objects count:", 98}})),
         {opacity, {10, 200, false}}},
        {"linesEffect", true,
         with(common("Lines Effect", "linesEffect", unset, halfWhite, 50), {{"linesCount", 500}, {"lineWidth", 1.0f}}),
         join(commonRows("Objects opacity:"), {{"Lines count:", 122}, {"Line width:", 102}}),
         {opacity, {20, 2000, false}, {0.5, 50, false}}},
        {"hilbertLinesEffect", false,
         with(common("Hilbert Lines", "hilbertLinesEffect", 0, halfWhite, 70, true), {{"level", 7}, {"lineWidth", 7.5f}}),
         join(commonRows("Objects opacity:"), {{"Lines level:", 122}, {"Line width:", 102}}),
         {opacity, {3, 7, false}, {1, 15, false}}},
        {"patchWorkEffect", false,
         with(common("Patch Works", "patchWorkEffect", unset, halfWhite, 40, true), {{"level", 7}, {"lineWidth", 7.5f}}),
         commonRows("Objects opacity:"), {opacity}},
        {"flareEffect", true,
         with(common("Flare Effect", "flareEffect", unset, color(1, 1, 1, 0), 50), {{"linesCount", 30}, {"lineWidth", 1.0f}}),
         join(commonRows("Flare opacity:"), {{"Spikes count:", 122}}), {opacity, {6, 60, true}}},
        {"plasmaEffect", false, common("Plasma Effect", "plasmaEffect", unset, halfWhite, 40),
         commonRows("Plasma opacity:"), {opacity}},
        {"patMorphingEffect", true,
         with(common("Pattern Morphing", "patMorphingEffect", unset, halfWhite, 70, true),
              {{"patColor", color(0.2, 1, 0.2, 1)}, {"count", 30}, {"lineWidth", 10.0f}, {"proportion", 0.5f}}),
         join(commonRows("Pattern opacity:"),
              {{"Objects count:", 122}, {"Pattern Color:", 95}, {"Line width:", 70}, {"Proportion:", 50}}),
         {opacity, {4, 60, true}, {1, 30, true}, {0.1, 1.0, true}}},
        {"sketchEffect", false, base("Sketch Effect", "sketchEffect", unset), {}, {}},
    };
}

// The same keys, each value of the same type and equal (colours to the 16 bits a QColor keeps).
void expectSame(const QVariantMap &got, const QVariantMap &want)
{
    EXPECT_EQ(got.keys(), want.keys());
    for (auto it = want.begin(); it != want.end(); ++it) {
        const QVariant g = got.value(it.key());
        SCOPED_TRACE(it.key().toStdString());
        EXPECT_EQ(g.metaType(), it->metaType()) << g.typeName() << " instead of " << it->typeName();
        if (it->metaType() != QMetaType::fromType<imaging::Color>()) {
            EXPECT_EQ(g, *it) << g.toString().toStdString() << " instead of " << it->toString().toStdString();
            continue;
        }
        const auto w = it->value<imaging::Color>(), c = g.value<imaging::Color>();
        EXPECT_NEAR(c.red, w.red, 1e-4);
        EXPECT_NEAR(c.green, w.green, 1e-4);
        EXPECT_NEAR(c.blue, w.blue, 1e-4);
        EXPECT_NEAR(c.alpha, w.alpha, 1e-4);
    }
}

// A value unlike `v`, of the same type.
QVariant changed(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int: return v.toInt() + 1;
    case QMetaType::Float: return v.toFloat() + 0.25f;
    case QMetaType::Double: return v.toDouble() + 0.375;
    case QMetaType::Bool: return !v.toBool();
    case QMetaType::QColor: return QColor(1, 2, 3, 4);
    case QMetaType::QPointF: return v.toPointF() + QPointF(3, 4);
    default: ADD_FAILURE() << "no change for " << v.typeName(); return v;
    }
}

std::unique_ptr<DrawnEffect> drawn(std::unique_ptr<BaseEffect> effect)
{
    return std::unique_ptr<DrawnEffect>(dynamic_cast<DrawnEffect *>(effect.release()));
}

} // namespace

TEST(EffectSettings, EveryDrawnEffectKeepsItsStoredFormCopiesAndRows)
{
    // A small picture keeps the renderings that changes cause quick.
    StillImageHost host(solidImage(16, 12, Qt::black));
    const auto forms = storedForms();
    QStringList covered;
    for (const StoredForm &form : forms)
        covered << form.className;
    EXPECT_EQ(covered, EffectCatalog::drawnEffectClassNames()) << "every drawn effect has its stored form here";

    for (const StoredForm &form : forms) {
        SCOPED_TRACE(form.className.toStdString());
        auto proto = drawn(EffectCatalog::prototype(form.className));
        ASSERT_TRUE(proto);

        // The defaults, stored as they always were.
        expectSame(proto->save(), form.defaults);

        // Settings in the stored form, every value changed, come back from a working copy.
        const QVariantMap moved = movedAwayFromDefaults(form.defaults);
        auto copy = drawn(proto->mycopy());
        copy->read(moved);
        expectSame(copy->save(), moved);

        // A copy holds all of them; only the effects that follow the mouse keep the anchor.
        QVariantMap copied = moved;
        if (!form.copiesAnchor)
            copied["startPT.x"] = copied["startPT.y"] = 0.0f;
        expectSame(copy->mycopy()->save(), copied);

        // So do the members that are copied without being stored (the rendering's zoom).
        for (const DrawnSetting &s : copy->settings()) {
            if (!s.key.isEmpty())
                copy->setSetting(s.key, changed(copy->settingValue(s.key)), nullptr);
        }
        auto second = drawn(copy->mycopy());
        for (const DrawnSetting &s : copy->settings()) {
            if (s.copied && !s.key.isEmpty()) {
                EXPECT_EQ(second->settingValue(s.key), copy->settingValue(s.key)) << s.key.toStdString();
            }
        }

        // The rows: labels at their heights in order, and the sliders' ranges and tracking.
        QWidget panel;
        panel.resize(260, 225);
        proto->setTopControlsView(&panel);
        proto->setUpControlsView();
        std::vector<Row> rows;
        for (const QLabel *label : panel.findChildren<QLabel *>())
            rows.push_back({label->text(), double(225 - 16 - label->geometry().y())});
        ASSERT_EQ(rows.size(), form.rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i].label, form.rows[i].label);
            EXPECT_EQ(rows[i].y, form.rows[i].y) << rows[i].label.toStdString();
        }
        std::vector<Slider> sliders;
        for (const QSlider *slider : panel.findChildren<QSlider *>()) {
            if (auto *f = qobject_cast<const FloatSlider *>(slider))
                sliders.push_back({f->minValue(), f->maxValue(), f->hasTracking()});
            else
                sliders.push_back({double(slider->minimum()), double(slider->maximum()), slider->hasTracking()});
        }
        ASSERT_EQ(sliders.size(), form.sliders.size());
        for (size_t i = 0; i < sliders.size(); ++i) {
            EXPECT_EQ(sliders[i].min, form.sliders[i].min) << i;
            EXPECT_EQ(sliders[i].max, form.sliders[i].max) << i;
            EXPECT_EQ(sliders[i].continuous, form.sliders[i].continuous) << i;
        }
    }
}

// A control moved by the user is one undo step under the setting's own action pair, and the
// value it stores has the member's type (a whole-number slider gives no fractions).
TEST(EffectSettings, ControlsChangeTheirSettingUndoably)
{
    StillImageHost controller(solidImage(60, 40, Qt::black));
    auto morph = drawn(EffectCatalog::prototype("patMorphingEffect")->mycopy());
    QWidget panel;
    panel.resize(260, 225);
    morph->setTopControlsView(&panel);
    morph->setUpControlsView();
    morph->getDrawImage();
    const auto floats = panel.findChildren<FloatSlider *>();
    ASSERT_EQ(floats.size(), 2);
    FloatSlider *proportion = floats[1];
    proportion->setValue(proportion->maximum() / 4); // a quarter of the way: 0.1 + 0.9 / 4
    controller.endEvent();
    EXPECT_NEAR(morph->settingValue("proportion").toDouble(), 0.325, 1e-3);
    EXPECT_EQ(morph->settingValue("proportion").metaType().id(), QMetaType::Double);
    QSlider *opacity = nullptr;
    for (QSlider *s : panel.findChildren<QSlider *>())
        if (!qobject_cast<FloatSlider *>(s) && s->maximum() == 100)
            opacity = s;
    ASSERT_NE(opacity, nullptr);
    opacity->setValue(37);
    controller.endEvent();
    EXPECT_EQ(morph->opacity(), 37.0f);

    UndoManager &um = *controller.undoManager();
    um.undo();
    EXPECT_EQ(morph->opacity(), 70.0f);
    EXPECT_EQ(opacity->value(), 70);
    um.undo();
    EXPECT_DOUBLE_EQ(morph->settingValue("proportion").toDouble(), 0.5);
    EXPECT_NEAR(proportion->doubleValue(), 0.5, 1e-3);
    um.redo();
    EXPECT_NEAR(morph->settingValue("proportion").toDouble(), 0.325, 1e-3);
    // The background image switch goes off and on again.
    auto *useImage = panel.findChild<QCheckBox *>();
    ASSERT_NE(useImage, nullptr);
    useImage->click();
    EXPECT_FALSE(morph->useBackImage());
    useImage->click();
    EXPECT_TRUE(morph->useBackImage());
    // An unknown key has no value.
    EXPECT_FALSE(morph->settingValue("nothing").isValid());
}
