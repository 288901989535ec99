#include "valueparser.h"

#include <cmath>

#include <QRegularExpression>

#include "clifiles.h"
#include "imaging/image.h"
#include "imaging/qimageadapter.h"
#include "imaging/values.h"

namespace {

bool parseNumbers(QString text, QList<double> &out)
{
    text = text.trimmed();
    if (text.startsWith('[') && text.endsWith(']')) text = text.mid(1, text.size() - 2);
    const QStringList parts = text.split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
    if (parts.isEmpty()) return false;
    for (const QString &p : parts) {
        bool ok = false;
        const double v = p.toDouble(&ok);
        if (!ok || !std::isfinite(v)) return false;
        out << v;
    }
    return true;
}

} // namespace

QVariant parseFilterValue(const QString &text, const QString &cls, const QString &type, const QVariant &example,
                          QString &error)
{
    using namespace imaging;
    const QString t = text.trimmed();
    const InputClass kind = inputClassNamed(cls);
    if (kind == InputClass::Number) {
        const QString lower = t.toLower();
        if (lower == QLatin1String("true") || lower == QLatin1String("yes")) return true;
        if (lower == QLatin1String("false") || lower == QLatin1String("no")) return false;
        bool ok = false;
        const double v = t.toDouble(&ok);
        if (!ok || !std::isfinite(v)) {
            error = QStringLiteral("expected a number, got \"%1\"").arg(text);
            return {};
        }
        if (type == kCIAttributeTypeBoolean) return v != 0.0;
        return v;
    }
    if (kind == InputClass::Vector || kind == InputClass::Transform) {
        QList<double> n;
        if (!parseNumbers(t, n) || n.size() > int(Vector::maxCount)) {
            error = QStringLiteral("expected a vector such as \"[x y z w]\", got \"%1\"").arg(text);
            return {};
        }
        if (kind == InputClass::Transform) {
            if (n.size() != 6) {
                error = QStringLiteral("a transform needs six values [m11 m12 m21 m22 tX tY], got \"%1\"").arg(text);
                return {};
            }
            if (example.metaType() == QMetaType::fromType<Vector>())
                return QVariant::fromValue(Vector{n[0], n[1], n[2], n[3], n[4], n[5]});
            return QVariant::fromValue(AffineTransform(n[0], n[1], n[2], n[3], n[4], n[5]));
        }
        Vector v = Vector::withCount(n.size());
        for (int i = 0; i < n.size(); ++i) v.setValue(i, n[i]);
        return QVariant::fromValue(v);
    }
    if (kind == InputClass::Color) {
        static const QRegularExpression re(QStringLiteral("^rgba?\\(([^)]*)\\)$"), QRegularExpression::CaseInsensitiveOption);
        const auto m = re.match(t);
        QList<double> n;
        if (!m.hasMatch() || !parseNumbers(m.captured(1), n) || (n.size() != 3 && n.size() != 4)) {
            error = QStringLiteral("expected a colour such as \"rgba(1,0.5,0,1)\", got \"%1\"").arg(text);
            return {};
        }
        for (double c : n)
            if (c < 0 || c > 1) {
                error = QStringLiteral("colour components must lie in 0..1, got \"%1\"").arg(text);
                return {};
            }
        return QVariant::fromValue(Color(n[0], n[1], n[2], n.size() == 4 ? n[3] : 1.0));
    }
    if (kind == InputClass::Image) {
        const QImage img = clifiles::readInput(t, &error);
        if (img.isNull()) return {};
        return QVariant::fromValue(imageFromQImage(img));
    }
    error = QStringLiteral("inputs of class %1 cannot be set from the command line").arg(cls);
    return {};
}
