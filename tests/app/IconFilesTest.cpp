// The installed icon files show the picture the program draws: the PNGs pixel for pixel, the SVG (made
// by replaying the drawing into an SVG document) within antialiasing of it at any size.
#include "app/Icons.h"

#include <QGuiApplication>
#include <QSvgRenderer>

#include <gtest/gtest.h>

#include <cmath>

namespace frostmark {
namespace {

const QString kIconDir = QStringLiteral(FROSTMARK_ICON_DIR);
const QString kName = QStringLiteral(FROSTMARK_APP_ID);

// Mean difference per channel (0-255) over all pixels, and the share of pixels off by more than 64 in
// any channel.
struct Difference {
    double mean = 0;
    double farOff = 0;
};

Difference Compare(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    Difference d;
    long long sum = 0, far = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            const int channels[] = {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q),
                                    qAlpha(p) - qAlpha(q)};
            int worst = 0;
            for (int c : channels) {
                sum += std::abs(c);
                worst = std::max(worst, std::abs(c));
            }
            far += worst > 64;
        }
    }
    const double pixels = static_cast<double>(x.width()) * x.height();
    d.mean = sum / (pixels * 4);
    d.farOff = far / pixels;
    return d;
}

TEST(IconFiles, PngsAreTheDrawnIconAtEverySize) {
    for (int size : kAppIconFileSizes) {
        const QString path = QStringLiteral("%1/%2x%2/apps/%3.png").arg(kIconDir).arg(size).arg(kName);
        QImage file(path);
        ASSERT_FALSE(file.isNull()) << path.toStdString();
        EXPECT_EQ(file.size(), QSize(size, size)) << size;
        EXPECT_EQ(file.convertToFormat(QImage::Format_ARGB32),
                  AppIconPixmap(size).toImage().convertToFormat(QImage::Format_ARGB32))
            << size;
    }
}

TEST(IconFiles, SvgRendersAsTheDrawnIcon) {
    QSvgRenderer svg(kIconDir + QStringLiteral("/scalable/apps/") + kName + QStringLiteral(".svg"));
    ASSERT_TRUE(svg.isValid());
    EXPECT_EQ(svg.viewBoxF(), QRectF(0, 0, 256, 256));
    for (int size : {48, 128, 256, 512}) {
        QImage rendered(size, size, QImage::Format_ARGB32_Premultiplied);
        rendered.fill(Qt::transparent);
        QPainter painter(&rendered);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
        painter.end();
        // The scalable icon is the large drawing (with barbs), scaled; line widths scale with it.
        QImage drawn(size, size, QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        QPainter reference(&drawn);
        reference.scale(size / 256.0, size / 256.0);
        PaintAppIcon(reference, 256, true);
        reference.end();
        const Difference d = Compare(rendered, drawn);
        EXPECT_LT(d.mean, 1.5) << size;
        EXPECT_LT(d.farOff, 0.01) << size;
    }
    // And a different picture is told apart: the small drawing without barbs.
    QImage rendered(256, 256, QImage::Format_ARGB32_Premultiplied);
    rendered.fill(Qt::transparent);
    QPainter painter(&rendered);
    svg.render(&painter);
    painter.end();
    QImage plain(256, 256, QImage::Format_ARGB32_Premultiplied);
    plain.fill(Qt::transparent);
    QPainter other(&plain);
    PaintAppIcon(other, 256, false);
    other.end();
    EXPECT_GT(Compare(rendered, plain).farOff, 0.02);
}

} // namespace
} // namespace frostmark

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
