// Draws the program's icon from the game's own emblem (the ring and question
// mark of the logo in the About window): the scalable SVG and the PNG sizes of
// the hicolor theme, so that the menu shows the same picture as the game.
//
//   sorventa_icons OUTDIR NAME SIZE...   ->  OUTDIR/scalable/NAME.svg, OUTDIR/NxN/NAME.png
//
// The sizes come from the build, which installs exactly these files.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

#include "game/Artwork.h"

namespace {

QString num(qreal v)
{
    return QString::number(v, 'f', 2);
}

QString color(const QColor& c)
{
    return c.name(QColor::HexRgb);
}

// The shape of the question mark as SVG path data.
QString pathData(const QPainterPath& path)
{
    QString d;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            d += QStringLiteral("M%1 %2").arg(num(e.x), num(e.y));
            break;
        case QPainterPath::LineToElement:
            d += QStringLiteral("L%1 %2").arg(num(e.x), num(e.y));
            break;
        case QPainterPath::CurveToElement: {
            const auto c2 = path.elementAt(i + 1);
            const auto to = path.elementAt(i + 2);
            d += QStringLiteral("C%1 %2 %3 %4 %5 %6")
                     .arg(num(e.x), num(e.y), num(c2.x), num(c2.y), num(to.x), num(to.y));
            i += 2;
            break;
        }
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    return d + QLatin1Char('Z');
}

bool writeSvg(const QString& file)
{
    const sor::art::Emblem e = sor::art::emblem();
    const qreal side = sor::art::Emblem::kSide;
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&f);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 " << num(side)
        << ' ' << num(side) << "\">\n"
        << "  <defs>\n"
        << "    <radialGradient id=\"disc\" cx=\"" << num(e.ring.center().x()) << "\" cy=\""
        << num(e.ring.center().y()) << "\" r=\"" << num(e.ring.width() / 2) << "\" gradientUnits=\"userSpaceOnUse\">\n"
        << "      <stop offset=\"0\" stop-color=\"" << color(e.discInner) << "\"/>\n"
        << "      <stop offset=\"1\" stop-color=\"" << color(e.discOuter) << "\"/>\n"
        << "    </radialGradient>\n"
        << "  </defs>\n"
        << "  <circle cx=\"" << num(e.ring.center().x()) << "\" cy=\"" << num(e.ring.center().y()) << "\" r=\""
        << num(e.ring.width() / 2) << "\" fill=\"url(#disc)\" stroke=\"" << color(e.ringColor)
        << "\" stroke-width=\"" << num(e.ringWidth) << "\"/>\n"
        << "  <path fill=\"" << color(e.markColor) << "\" d=\"" << pathData(e.mark) << "\"/>\n"
        << "</svg>\n";
    out.flush();
    return f.error() == QFile::NoError;
}

bool writePng(const QString& file, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        sor::art::paintEmblem(p, QRectF(0, 0, size, size));
    }
    return image.save(file, "PNG");
}

}  // namespace

int main(int argc, char* argv[])
{
    // Draws without a screen, whatever the build machine has.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: sorventa_icons OUTDIR NAME SIZE...\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLocal8Bit(argv[2]);
    bool ok = out.mkpath(QStringLiteral("scalable")) && writeSvg(out.filePath(QStringLiteral("scalable/") + name + ".svg"));
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        const QString dir = QStringLiteral("%1x%1").arg(size);
        ok = ok && size > 0 && out.mkpath(dir) && writePng(out.filePath(dir + QLatin1Char('/') + name + ".png"), size);
    }
    if (!ok) {
        std::fprintf(stderr, "sorventa_icons: cannot write the icons in %s\n", argv[1]);
        return 1;
    }
    return 0;
}
