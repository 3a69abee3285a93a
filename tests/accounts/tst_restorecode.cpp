// The restore code: ten characters from the 77 codes 48 to 124, each equally
// likely, and never the same code twice in a row.

#include <QTest>
#include <array>

#include "accounts/PasswordRestore.h"

class TestRestoreCode : public QObject
{
    Q_OBJECT

private slots:
    void lengthAndAlphabet()
    {
        for (int i = 0; i < 1000; ++i) {
            const QString code = sor::makeRestoreCode();
            QCOMPARE(code.size(), 10);
            for (const QChar c : code)
                QVERIFY2(c.unicode() >= 48 && c.unicode() <= 124, qPrintable(code));
        }
    }

    void backToBackCodesDiffer()
    {
        QString last = sor::makeRestoreCode();
        for (int i = 0; i < 1000; ++i) {
            const QString next = sor::makeRestoreCode();
            QVERIFY(next != last);
            last = next;
        }
    }

    // 200,000 characters: every one of the 77 codes shows up about 2,600 times.
    // A skewed draw (a remainder of a byte, say, or a range one short) falls far
    // outside the loose band of ±20 %, which chance does not reach.
    void everyCodeEquallyOften()
    {
        std::array<int, 128> seen{};
        constexpr int kCodes = 20000;
        for (int i = 0; i < kCodes; ++i)
            for (const QChar c : sor::makeRestoreCode())
                ++seen[c.unicode() & 127];
        const double mean = kCodes * 10.0 / 77;
        for (int code = 0; code < 128; ++code) {
            if (code < 48 || code > 124) {
                QCOMPARE(seen[code], 0);
                continue;
            }
            QVERIFY2(seen[code] > mean * 0.8 && seen[code] < mean * 1.2,
                     qPrintable(QStringLiteral("code %1 drawn %2 times").arg(code).arg(seen[code])));
        }
    }
};

QTEST_APPLESS_MAIN(TestRestoreCode)
#include "tst_restorecode.moc"
