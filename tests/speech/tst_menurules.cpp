// The rules of the speaking menus that do not draw: sizes, gutter, colour
// arithmetic, the check-mark pattern and who speaks a highlighted item.

#include <QTest>

#include "speech/MenuRules.h"
#include "support/SpeechRig.h"

using sor::menu::ItemFacts;
using sor::menu::Rgb;

Q_DECLARE_METATYPE(Rgb)

namespace {

// A drop-down item whose caption + shortcut is 100 wide, in a font whose "W" is
// textH high.
ItemFacts dropDown(int textH, bool separator = false)
{
    ItemFacts f;
    f.separator = separator;
    f.captionWidth = 60;
    f.captionShortcutWidth = 100;
    f.textHeightW = textH;
    return f;
}

ItemFacts withImages(ItemFacts f, int w, int h)
{
    f.hasImageList = true;
    f.imageWidth = w;
    f.imageHeight = h;
    return f;
}

}  // namespace

class TestMenuRules : public QObject
{
    Q_OBJECT

private slots:
    void measuring_data()
    {
        QTest::addColumn<ItemFacts>("item");
        QTest::addColumn<int>("minWidth");
        QTest::addColumn<int>("minHeight");
        QTest::addColumn<QSize>("platform");  // the size the platform came with
        QTest::addColumn<QSize>("measured");

        ItemFacts bar = dropDown(13);
        bar.barItem = true;
        QTest::newRow("bar item: caption width, platform height") << bar << 0 << 20 << QSize(99, 23) << QSize(60, 23);
        QTest::newRow("bar item ignores the least sizes") << bar << 300 << 40 << QSize(99, 23) << QSize(60, 23);

        QTest::newRow("drop-down, small font: least height") << dropDown(13) << 0 << 20 << QSize(1, 1)
                                                             << QSize(100 + 20 + 15, 20);
        QTest::newRow("drop-down, big font: W + 4") << dropDown(19) << 0 << 20 << QSize(1, 1)
                                                    << QSize(100 + 23 + 15, 23);
        QTest::newRow("drop-down, MinWidth wins") << dropDown(13) << 300 << 20 << QSize(1, 1) << QSize(300, 20);
        QTest::newRow("drop-down, MinHeight 30 widens it too") << dropDown(13) << 0 << 30 << QSize(1, 1)
                                                               << QSize(100 + 30 + 15, 30);
        QTest::newRow("separator from a height of 20: 5") << dropDown(13, true) << 0 << 20 << QSize(1, 1)
                                                          << QSize(100 + 20 + 15, 5);
        QTest::newRow("separator from a height above 20: 11") << dropDown(19, true) << 0 << 20 << QSize(1, 1)
                                                              << QSize(100 + 23 + 15, 11);

        QTest::newRow("images, separator, small images: 5, width kept")
            << withImages(dropDown(13, true), 16, 16) << 0 << 20 << QSize(77, 9) << QSize(77, 5);
        QTest::newRow("images, separator, tall images: 11") << withImages(dropDown(13, true), 16, 24) << 0 << 20
                                                             << QSize(77, 9) << QSize(77, 11);
        QTest::newRow("images, separator, MinHeight above 20: 11")
            << withImages(dropDown(13, true), 16, 16) << 0 << 24 << QSize(77, 9) << QSize(77, 11);
        QTest::newRow("images 16: gutter raised to the height") << withImages(dropDown(13), 16, 16) << 0 << 20
                                                               << QSize(1, 1) << QSize(100 + 20 + 15, 20);
        QTest::newRow("images 24: height image + 4") << withImages(dropDown(13), 24, 24) << 0 << 20 << QSize(1, 1)
                                                     << QSize(100 + 28 + 15, 28);
        QTest::newRow("wide images: image width + 5") << withImages(dropDown(13), 32, 16) << 0 << 20
                                                      << QSize(1, 1) << QSize(100 + 37 + 15, 20);
        QTest::newRow("images, font taller than images") << withImages(dropDown(19), 16, 16) << 0 << 20
                                                         << QSize(1, 1) << QSize(100 + 23 + 15, 23);
        QTest::newRow("images, MinWidth wins") << withImages(dropDown(13), 16, 16) << 500 << 20 << QSize(1, 1)
                                               << QSize(500, 20);
    }
    void measuring()
    {
        QFETCH(ItemFacts, item);
        QFETCH(int, minWidth);
        QFETCH(int, minHeight);
        QFETCH(QSize, platform);
        QFETCH(QSize, measured);
        int width = platform.width();
        int height = platform.height();
        sor::menu::measureItem(item, minWidth, minHeight, width, height);
        QCOMPARE(QSize(width, height), measured);
    }

    void gutter_data()
    {
        QTest::addColumn<ItemFacts>("item");
        QTest::addColumn<int>("rectHeight");
        QTest::addColumn<int>("minHeight");
        QTest::addColumn<int>("gutter");
        QTest::newRow("item: its height + 1") << dropDown(13) << 20 << 20 << 21;
        QTest::newRow("tall item") << dropDown(13) << 30 << 20 << 31;
        QTest::newRow("separator, small font: least height + 1") << dropDown(13, true) << 5 << 20 << 21;
        QTest::newRow("separator, big font: W + 4 + 1, as its items") << dropDown(19, true) << 11 << 20 << 24;
        QTest::newRow("MinHeight above all") << dropDown(13) << 20 << 26 << 27;
        QTest::newRow("images wider than the height") << withImages(dropDown(13), 24, 16) << 20 << 20 << 29;
        QTest::newRow("images, separator: as wide as its items") << withImages(dropDown(19, true), 16, 16) << 5
                                                                 << 20 << 24;
    }
    void gutter()
    {
        QFETCH(ItemFacts, item);
        QFETCH(int, rectHeight);
        QFETCH(int, minHeight);
        QFETCH(int, gutter);
        QCOMPARE(sor::menu::gutterWidth(item, rectHeight, minHeight), gutter);
    }

    void lightening_data()
    {
        QTest::addColumn<Rgb>("colour");
        QTest::addColumn<int>("percent");
        QTest::addColumn<Rgb>("result");
        QTest::newRow("pure red by 75 %") << Rgb{255, 0, 0} << 75 << Rgb{255, 191, 191};
        // 76.5 and 127.5 go to the even neighbour, 25.5 up to 26, 0.5 down to 0.
        QTest::newRow("halves to even") << Rgb{0, 0, 0} << 30 << Rgb{76, 76, 76};
        QTest::newRow("halves to even, up") << Rgb{0, 128, 254} << 50 << Rgb{128, 192, 254};
        QTest::newRow("halves of small steps") << Rgb{0, 250, 5} << 10 << Rgb{26, 250, 30};
        QTest::newRow("button face by 85 %") << Rgb{212, 208, 200} << 85 << Rgb{249, 248, 247};
        QTest::newRow("highlight by 65 %") << Rgb{10, 36, 106} << 65 << Rgb{169, 178, 203};
        QTest::newRow("highlight by 75 %") << Rgb{10, 36, 106} << 75 << Rgb{194, 200, 218};
        QTest::newRow("by 0 % and 100 %") << Rgb{10, 36, 106} << 0 << Rgb{10, 36, 106};
        QTest::newRow("white stays") << Rgb{255, 255, 255} << 50 << Rgb{255, 255, 255};
    }
    void lightening()
    {
        QFETCH(Rgb, colour);
        QFETCH(int, percent);
        QFETCH(Rgb, result);
        QCOMPARE(sor::menu::lighten(colour, percent), result);
        QCOMPARE(sor::menu::lighten(colour, 100), (Rgb{255, 255, 255}));
    }

    void darkeningStopsAtZero()
    {
        QCOMPARE(sor::menu::darken({10, 60, 200}, 50), (Rgb{0, 10, 150}));
        QCOMPARE(sor::menu::darken({0, 0, 0}, 50), (Rgb{0, 0, 0}));
    }

    void leastHeightNeverBelow20()
    {
        QCOMPARE(sor::menu::storedMinHeight(10), 20);
        QCOMPARE(sor::menu::storedMinHeight(-5), 20);
        QCOMPARE(sor::menu::storedMinHeight(25), 25);
    }

    void checkMarkFromItsPattern()
    {
        QStringList art(12, QString(12, QLatin1Char('.')));
        for (const auto& [column, row] : sor::menu::checkMarkPixels()) {
            QVERIFY(column >= 0 && column < 12 && row >= 0 && row < 12);
            art[row][column] = QLatin1Char('#');
        }
        const QStringList expected = {
            "............",
            "............",
            "............",
            "........#...",
            ".......##...",
            "..#...###...",
            "..##.###....",
            "..#####.....",
            "...###......",
            "....#.......",
            "............",
            "............",
        };
        QCOMPARE(art, expected);
    }

    // Events: B a bar item drawn selected, d a drop-down item drawn selected.
    // What the player hears, stop-first flags included.
    void speechCounter_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("events");
        QTest::addColumn<QStringList>("heard");
        QTest::addColumn<int>("after");
        QTest::newRow("bar, then every drop-down item, each after a stop")
            << 2 << "B d d d d" << QStringList({"!B1", "!d2", "!d3", "!d4", "!d5"}) << 0;
        QTest::newRow("at program start every drop-down item is spoken")
            << 2 << "d d d" << QStringList({"!d1", "!d2", "!d3"}) << 0;
        QTest::newRow("a bar item right after a drop-down item is spoken")
            << 2 << "B d B d d" << QStringList({"!B1", "!d2", "!B3", "!d4", "!d5"}) << 0;
        QTest::newRow("a bar item after a stop is spoken and starts over")
            << 0 << "d B d d" << QStringList({"!d1", "!B2", "!d3", "!d4"}) << 0;
        QTest::newRow("bar items alone: each spoken") << 2 << "B B B" << QStringList({"!B1", "!B2", "!B3"}) << 2;
    }
    void speechCounter()
    {
        QFETCH(int, start);
        QFETCH(QString, events);
        QFETCH(QStringList, heard);
        QFETCH(int, after);
        sortest::SpeechRig rig;
        sor::menu::MenuSpeechCounter counter;
        counter.reset(start);
        int n = 0;
        for (const QString& e : events.split(QLatin1Char(' ')))
            counter.selectedDrawing(e == QLatin1String("B"), e + QString::number(++n));
        QCOMPARE(rig.heard(), heard);
        QCOMPARE(counter.value(), after);
    }
};

QTEST_GUILESS_MAIN(TestMenuRules)
#include "tst_menurules.moc"
