// The answer bars must be told apart at a glance: dark blue for a normal
// answer, amber for the chosen one, green for the right one.

#include <QImage>
#include <QPainter>
#include <QTest>

#include "game/Artwork.h"

using sor::art::Bar;

class TestArtwork : public QObject
{
    Q_OBJECT

private slots:
    void barLooksHaveTheirColours_data()
    {
        QTest::addColumn<int>("look");
        QTest::addColumn<QString>("dominant");
        QTest::newRow("off: dark blue") << int(Bar::Off) << "blue";
        QTest::newRow("on: amber") << int(Bar::On) << "red";
        QTest::newRow("yes: green") << int(Bar::Yes) << "green";
    }

    void barLooksHaveTheirColours()
    {
        QFETCH(int, look);
        QFETCH(QString, dominant);
        for (const QSize size : {QSize(418, 48), QSize(900, 48), QSize(120, 30)}) {
            QImage img(size, QImage::Format_RGB32);
            img.fill(Qt::black);
            QPainter p(&img);
            sor::art::paintBar(p, QRectF(QPointF(0, 0), size), Bar(look));
            p.end();
            const QColor c = img.pixelColor(size.width() / 2, size.height() * 2 / 3);
            const int r = c.red(), g = c.green(), b = c.blue();
            if (dominant == "blue")
                QVERIFY2(b > r && b > g, qPrintable(c.name()));
            else if (dominant == "red")
                QVERIFY2(r > g && g > b, qPrintable(c.name()));
            else
                QVERIFY2(g > r && g > b, qPrintable(c.name()));
            // The bar leaves the corners to the black background (curved ends).
            QCOMPARE(img.pixelColor(1, 1), QColor(Qt::black));
        }
    }

    // Degenerate sizes (a window squeezed to nothing) paint nothing and do not crash.
    void tinyAreas()
    {
        QImage img(4, 4, QImage::Format_RGB32);
        img.fill(Qt::black);
        QPainter p(&img);
        sor::art::paintBar(p, QRectF(0, 0, 4, 4), Bar::Off);
        sor::art::paintQuestionFrame(p, QRectF(0, 0, 4, 4));
        sor::art::paintLogo(p, QRectF(0, 0, 4, 4));
        sor::art::paintTexture(p, QRectF(0, 0, 0, 0));
        sor::art::paintStrip(p, QRectF(0, 0, 4, 0), sor::art::Strip::Thin);
    }
};

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
