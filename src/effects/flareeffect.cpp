#include "effects/flareeffect.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

void flareEffect::awakeFromNib()
{
    setName(tr("Flare Effect"));
    setTips(tr("Flare Effect Generator"));
    setDefaults();
}

std::vector<DrawnSetting> flareEffect::settings() const
{
    auto list = commonSettings(QColor::fromRgbF(1, 1, 1, 0), 50, tr("Flare opacity:"));
    list.insert(list.end(), {
        {.key = QStringLiteral("linesCount"), .member = member(&flareEffect::m_linesCount), .defaultValue = 30,
         .control = DrawnSetting::Control::Slider, .label = tr("Spikes count:"), .y = 122, .min = 6, .max = 60,
         .continuous = true},
        {.key = QStringLiteral("lineWidth"), .member = member(&flareEffect::m_lineWidth), .defaultValue = 1.0},
        {.key = QStringLiteral("imageZoom"), .member = member(&flareEffect::m_imageZoom), .defaultValue = 1.0f,
         .stored = false},
        {.key = QStringLiteral("startPT"), .member = member(&flareEffect::m_startPT),
         .defaultValue = QPointF(unsetCoordinate, unsetCoordinate), .stored = false},
        generateButton(55),
    });
    return list;
}

void flareEffect::makeImageEffect()
{
    const QSize size = renderSize();
    const float s = std::min(float(size.width()), float(size.height()));
    if (s > 150)
        m_imageZoom = 150.0f / s;
    const QSize reduced(int(double(size.width()) * m_imageZoom), int(double(size.height()) * m_imageZoom));
    m_effectImage = QImage();
    m_effectImageSize = QSizeF();
    if (reduced.isEmpty())
        return;
    QImage image(reduced, QImage::Format_RGB32);
    if (image.isNull()) {
        qWarning("flareEffect: cannot allocate a %dx%d rendering", reduced.width(), reduced.height());
        return;
    }
    if (anchorIsUnset())
        m_startPT = QPointF(reduced.width() * 0.5 / m_imageZoom, reduced.height() * 0.5 / m_imageZoom);
    drawFlare(image);
    m_effectImage = image;
    m_effectImageSize = QSizeF(size);
}

void flareEffect::drawMyself(QPainter &painter, const QRectF &rect)
{
    QImage image(int(rect.width()), int(rect.height()), QImage::Format_RGB32);
    if (image.isNull())
        return;
    if (anchorIsUnset())
        m_startPT = QPointF(rect.width() * 0.5 / m_imageZoom, rect.height() * 0.5 / m_imageZoom);
    drawFlare(image);
    painter.save();
    painter.resetTransform();
    painter.drawImage(QPointF(0, 0), image);
    painter.restore();
}

void flareEffect::drawFlare(QImage &image)
{
    const int W = image.width(), H = image.height();
    const int n = m_linesCount;
    const int R = std::min(W, H);
    const int cx = int(m_startPT.x() * m_imageZoom);
    const int cy = int(m_startPT.y() * m_imageZoom);

    m_angles.clear();
    std::vector<double> L;
    if (n > 0) {
        m_angles.resize(size_t(n));
        L.resize(size_t(n));
        const double step = 2 * M_PI / n;
        for (int i = 0; i < n; ++i) {
            const double r1 = random() / 2147483647.0;
            const double r2 = random() / 2147483647.0;
            m_angles[size_t(i)] = i * step + step * 0.5 * r1;
            L[size_t(i)] = std::min(double(R), (r2 + 0.2) * R);
        }
    }
    const double twoPi = 2 * M_PI;
    auto near = [&](double phi, int x, int y) {
        const double D = std::fabs((cy - y) * std::cos(phi) - (cx - x) * std::sin(phi));
        return 1.0 - std::min(1.0, D / 16.0);
    };

    for (int y = 0; y < H; ++y) {
        // y grows upward: row 0 of the bitmap is the top, y = H - 1.
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(H - 1 - y));
        for (int x = 0; x < W; ++x) {
            double g = 0;
            if (x == cx && y == cy) {
                g = 1;
            } else if (n > 0) {
                double theta = std::atan2(double(y - cy), double(x - cx));
                if (theta < 0)
                    theta += twoPi;
                // The spike before the pixel's angle and the one after it, wrapping around.
                const auto first = std::lower_bound(m_angles.begin(), m_angles.end(), theta);
                const int idx = int(first - m_angles.begin());
                const int j = (idx == 0 || idx == n) ? n - 1 : idx - 1;
                const int k = j + 1 == n ? 0 : j + 1;
                const double aj = m_angles[size_t(j)], ak = m_angles[size_t(k)];
                const double thetaP = aj > theta ? theta + twoPi : theta;
                const double bP = aj > ak ? ak + twoPi : ak;
                const double span = bP - aj;
                // One spike alone spans the full turn back to itself.
                const double t = span > 0 ? (thetaP - aj) / span : 0;
                const double Lt = L[size_t(j)] + (L[size_t(k)] - L[size_t(j)]) * t;
                const double d = std::sqrt(double((cy - y) * (cy - y) + (cx - x) * (cx - x)));
                const double f0 = Lt > 0 ? 1.0 - std::min(1.0, d / Lt) : 0.0;
                const double f = f0 * f0;
                const double nj = near(aj, x, y), nk = near(ak, x, y);
                g = std::min(255.0, (nj * nj * 255 + nk * nk * 255) * f) / 255.0;
            }
            const int v = int(std::lround(g * 255));
            line[x] = qRgb(v, v, v);
        }
    }
}
