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

    // Degenerate sizes (a window squeezed to nothing) paint nothing, not even
    // outside their area, and do not crash.
    void tinyAreas_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QRectF>("area");
        QTest::newRow("bar, smaller than its margins") << "bar" << QRectF(20, 20, 6, 4);
        QTest::newRow("bar, no height") << "bar" << QRectF(20, 20, 200, 0);
        QTest::newRow("bar, upside down") << "bar" << QRectF(20, 20, -30, -20);
        QTest::newRow("question frame, smaller than its margins") << "frame" << QRectF(20, 20, 18, 14);
        QTest::newRow("question frame, no width") << "frame" << QRectF(20, 20, 0, 100);
        QTest::newRow("logo, too small to read") << "logo" << QRectF(20, 20, 9, 9);
        QTest::newRow("texture, nothing") << "texture" << QRectF(20, 20, 0, 0);
        QTest::newRow("texture, no height") << "texture" << QRectF(20, 20, 40, 0);
        QTest::newRow("strip, no height") << "strip" << QRectF(10, 20, 60, 0);
        QTest::newRow("strip, no width") << "strip" << QRectF(20, 10, 0, 40);
    }
    void tinyAreas()
    {
        QFETCH(QString, what);
        QFETCH(QRectF, area);
        const QColor sentinel(1, 2, 3);
        QImage img(80, 80, QImage::Format_RGB32);
        img.fill(sentinel);
        QPainter p(&img);
        if (what == "bar")
            for (Bar look : {Bar::Off, Bar::On, Bar::Yes})
                sor::art::paintBar(p, area, look);
        else if (what == "frame")
            sor::art::paintQuestionFrame(p, area);
        else if (what == "logo")
            sor::art::paintLogo(p, area);
        else if (what == "texture")
            sor::art::paintTexture(p, area);
        else
            for (auto kind : {sor::art::Strip::Thin, sor::art::Strip::Separator, sor::art::Strip::Bottom})
                sor::art::paintStrip(p, area, kind);
        p.end();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (img.pixelColor(x, y) != sentinel)
                    QFAIL(qPrintable(QString("painted at %1,%2: %3").arg(x).arg(y).arg(img.pixelColor(x, y).name())));
    }
};

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
